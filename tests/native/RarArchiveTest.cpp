#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "engine/resources/Crc32.h"
#include "engine/resources/RarArchive.h"
#include "engine/resources/RarWriter.h"
#include "tests/native/RarTestData.h"
#include "tests/native/Sha256.h"

using namespace Vorn;
using namespace VornTest;

namespace {

struct ManifestEntry {
    std::string name; // '/' separated, UTF-8 as the manifest lists it
    bool directory;
    uint32_t size;
    uint32_t crc;
    std::string sha256;
    int version;
    bool stored;
};

struct ManifestArchive {
    std::string file;
    std::string password; // empty when none
    std::vector<ManifestEntry> entries;
};

std::vector<std::string> Split(const std::string& text, const std::string& separator)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        size_t at = text.find(separator, start);
        parts.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos)
            return parts;
        start = at + separator.size();
    }
}

std::vector<ManifestArchive> ReadManifest()
{
    std::vector<uint8_t> bytes;
    std::vector<ManifestArchive> archives;
    if (!ReadFileBytes(RarTestDataDir() + "/MANIFEST.tsv", bytes))
        return archives;
    std::istringstream lines(std::string(bytes.begin(), bytes.end()));
    std::string line;
    std::getline(lines, line); // column names
    while (std::getline(lines, line)) {
        std::vector<std::string> columns = Split(line, "\t");
        if (columns.size() < 10)
            continue;
        ManifestArchive archive;
        archive.file = columns[0];
        archive.password = columns[5] == "-" ? "" : columns[5];
        for (const std::string& text : Split(columns[9], " ; ")) {
            std::vector<std::string> fields = Split(text, "|");
            if (fields.size() < 8)
                continue;
            ManifestEntry entry;
            entry.name = fields[0];
            entry.directory = fields[1] == "dir";
            entry.size = entry.directory ? 0 : uint32_t(std::stoul(fields[1]));
            entry.crc = entry.directory ? 0 : uint32_t(std::stoul(fields[2], nullptr, 16));
            entry.sha256 = fields[3];
            entry.version = std::stoi(fields[4].substr(1));
            entry.stored = fields[5] == "m0x30";
            archive.entries.push_back(entry);
        }
        archives.push_back(archive);
    }
    return archives;
}

bool IsAscii(const std::string& text)
{
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

std::vector<RarEntry*> ToVector(RarEntry* list)
{
    std::vector<RarEntry*> entries;
    for (; list; list = list->next)
        entries.push_back(list);
    return entries;
}

// Extracts by name and returns the SHA-256 of the bytes, or "" on failure.
std::string ExtractDigest(const std::vector<uint8_t>& archive, const char* name, const char* password)
{
    uint8_t* buffer = nullptr;
    uint32_t size = 0;
    if (!ExtractEntry(archive.data(), archive.size(), name, password, &buffer, &size)) {
        EXPECT_EQ(buffer, nullptr);
        EXPECT_EQ(size, 0u);
        return "";
    }
    std::string digest = Sha256Hex(buffer, size);
    delete[] buffer;
    return digest;
}

class RarTestArchives : public ::testing::Test {
protected:
    void SetUp() override
    {
        manifest = ReadManifest();
        if (manifest.empty())
            GTEST_SKIP() << "test archives not found in " << RarTestDataDir();
    }

    std::vector<uint8_t> Load(const std::string& file)
    {
        std::vector<uint8_t> bytes;
        EXPECT_TRUE(ReadFileBytes(RarTestDataDir() + "/" + file, bytes)) << file;
        return bytes;
    }

    const ManifestArchive* Find(const std::string& file) const
    {
        for (const ManifestArchive& archive : manifest)
            if (archive.file == file)
                return &archive;
        return nullptr;
    }

    std::vector<ManifestArchive> manifest;
};

// RAR 1.5 compression is a different algorithm; such entries fail like damaged ones.
bool ExpectedToExtract(const ManifestEntry& entry)
{
    return entry.version == 20 || entry.stored;
}

} // namespace

TEST_F(RarTestArchives, EveryEntryListsAndExtractsToItsDigest)
{
    int extracted = 0;
    for (const ManifestArchive& archive : manifest) {
        SCOPED_TRACE(archive.file);
        std::vector<uint8_t> bytes = Load(archive.file);
        RarEntry* list = nullptr;
        int count = ListArchive(bytes.data(), bytes.size(), &list);
        std::vector<RarEntry*> entries = ToVector(list);
        ASSERT_EQ(count, int(archive.entries.size()));
        ASSERT_EQ(entries.size(), archive.entries.size());
        for (size_t i = 0; i < entries.size(); ++i) {
            const ManifestEntry& expected = archive.entries[i];
            const RarEntry& entry = *entries[i];
            SCOPED_TRACE(expected.name);
            EXPECT_EQ(entry.nameSize, int(std::strlen(entry.name)));
            if (IsAscii(expected.name)) {
                EXPECT_TRUE(RarNamesMatch(entry.name, expected.name.c_str())) << entry.name;
            }
            EXPECT_EQ(entry.unpackedSize, expected.size);
            EXPECT_EQ(entry.version, expected.version);
            if (expected.directory) {
                EXPECT_EQ(entry.flags & RarFormat::FileDictionaryMask, RarFormat::FileDirectory);
                continue;
            }
            EXPECT_EQ(entry.crc, expected.crc);
            const char* password = archive.password.empty() ? nullptr : archive.password.c_str();
            std::string digest = ExtractDigest(bytes, entry.name, password);
            if (ExpectedToExtract(expected)) {
                EXPECT_EQ(digest, expected.sha256);
                ++extracted;
            } else {
                EXPECT_EQ(digest, "");
            }
        }
        FreeListing(list);
    }
    EXPECT_GE(extracted, 15);
}

TEST_F(RarTestArchives, EncryptedEntriesNeedTheRightPassword)
{
    for (const char* file : {"junrar_rar20-password-compressed.rar", "junrar_rar20-password-stored.rar"}) {
        SCOPED_TRACE(file);
        std::vector<uint8_t> bytes = Load(file);
        EXPECT_EQ(ExtractDigest(bytes, "SECRET.TXT", nullptr), "");
        EXPECT_EQ(ExtractDigest(bytes, "SECRET.TXT", ""), "");
        EXPECT_EQ(ExtractDigest(bytes, "SECRET.TXT", "Password"), "");
        EXPECT_EQ(ExtractDigest(bytes, "secret.txt", "password"), Find(file)->entries[0].sha256);
    }
}

// Patches one header field of the first entry of an archive whose second entry stays intact.
TEST_F(RarTestArchives, DamagedEntryFailsWhileTheRestExtracts)
{
    const std::string file = "junrar_BoatModernEnglish-regular-unpack20.rar";
    const ManifestArchive* archive = Find(file);
    ASSERT_NE(archive, nullptr);
    std::vector<uint8_t> original = Load(file);
    const size_t firstHeader = 7 + 13;
    ASSERT_EQ(original[firstHeader + 2], RarFormat::FileBlockType);

    struct Patch {
        const char* what;
        size_t offset;
        uint8_t value;
    };
    const Patch patches[] = {
        {"crc mismatch", firstHeader + 16, uint8_t(original[firstHeader + 16] ^ 0x01)},
        {"version 29", firstHeader + 24, 29},
        {"version 15 compressed", firstHeader + 24, 15},
        {"version 12", firstHeader + 24, 12},
        {"unknown method", firstHeader + 25, 0x36},
        {"packed data damaged", firstHeader + 53 + 1000, uint8_t(original[firstHeader + 53 + 1000] ^ 0x10)},
    };
    for (const Patch& patch : patches) {
        SCOPED_TRACE(patch.what);
        std::vector<uint8_t> damaged = original;
        damaged[patch.offset] = patch.value;
        EXPECT_EQ(ExtractDigest(damaged, "BoatModernEnglish.wav", nullptr), "");
        EXPECT_EQ(ExtractDigest(damaged, "LICENSE.txt", nullptr), archive->entries[1].sha256);
    }
}

TEST_F(RarTestArchives, SolidEntryNeedsItsPredecessor)
{
    const std::string file = "koni_rar2_solid.rar";
    std::vector<uint8_t> bytes = Load(file);
    const ManifestArchive* archive = Find(file);
    ASSERT_NE(archive, nullptr);
    EXPECT_EQ(ExtractDigest(bytes, "REPEAT.TXT", nullptr), archive->entries[1].sha256);

    const size_t firstHeader = 7 + 13;
    bytes[firstHeader + 24] = 29; // the first file can no longer be decoded
    EXPECT_EQ(ExtractDigest(bytes, "PROSE.TXT", nullptr), "");
    EXPECT_EQ(ExtractDigest(bytes, "REPEAT.TXT", nullptr), "");
}

TEST_F(RarTestArchives, AlternateMarkerIsAccepted)
{
    const std::string file = "koni_rar2_lz.rar";
    std::vector<uint8_t> bytes = Load(file);
    std::memcpy(bytes.data(), "UniquE!", 7);
    RarEntry* list = nullptr;
    EXPECT_EQ(ListArchive(bytes.data(), bytes.size(), &list), 1);
    FreeListing(list);
    EXPECT_EQ(ExtractDigest(bytes, "PROSE.TXT", nullptr), Find(file)->entries[0].sha256);
}

// A truncated archive lists at most its whole headers and never yields wrong bytes.
TEST_F(RarTestArchives, TruncatedArchivesFailCleanly)
{
    for (const ManifestArchive& archive : manifest) {
        SCOPED_TRACE(archive.file);
        std::vector<uint8_t> bytes = Load(archive.file);
        const char* password = archive.password.empty() ? nullptr : archive.password.c_str();
        size_t step = bytes.size() / 23 + 1;
        for (size_t cut = 0; cut < bytes.size(); cut += step) {
            std::vector<uint8_t> truncated(bytes.begin(), bytes.begin() + cut);
            RarEntry* list = nullptr;
            int count = ListArchive(truncated.data(), truncated.size(), &list);
            EXPECT_LE(count, int(archive.entries.size()));
            for (RarEntry* entry = list; entry; entry = entry->next) {
                std::string digest = ExtractDigest(truncated, entry->name, password);
                if (digest.empty())
                    continue;
                bool known = false;
                for (const ManifestEntry& expected : archive.entries)
                    known = known || expected.sha256 == digest || (expected.directory && entry->unpackedSize == 0);
                EXPECT_TRUE(known) << entry->name << " at cut " << cut;
            }
            FreeListing(list);
        }
    }
}

TEST(RarArchive, DataWithoutMarkerHasNoEntries)
{
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
    };
    std::vector<uint8_t> markerOnly = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00};
    std::vector<uint8_t> shortMain = markerOnly;
    shortMain.resize(7 + 12);
    std::vector<uint8_t> newFormat = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x01, 0x00};
    newFormat.resize(64);
    const Case cases[] = {
        {"empty", {}},
        {"text", {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!', '!', '!', '!', '!', '!', '!', '!', '!'}},
        {"marker only", markerOnly},
        {"main header cut short", shortMain},
        {"RAR 5 marker", newFormat},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RarEntry* list = reinterpret_cast<RarEntry*>(1);
        EXPECT_EQ(ListArchive(c.bytes.empty() ? nullptr : c.bytes.data(), c.bytes.size(), &list), 0);
        EXPECT_EQ(list, nullptr);
        uint8_t* buffer = reinterpret_cast<uint8_t*>(1);
        uint32_t size = 7;
        EXPECT_EQ(ExtractEntry(c.bytes.data(), c.bytes.size(), "a", nullptr, &buffer, &size), 0);
        EXPECT_EQ(buffer, nullptr);
        EXPECT_EQ(size, 0u);
    }
}

TEST(RarArchive, NamesMatchIgnoringCaseAndSeparators)
{
    const uint8_t first[] = {'1'};
    const uint8_t second[] = {'2'};
    const uint8_t third[] = {'3'};
    const RarWriterEntry entries[] = {
        {"Textures", nullptr, 0, true, 0, 0},
        {"Textures\\Anturaj_Bochka.jpg", first, 1, false, 0, 0},
        {"textures_anturaj_bochka.JPG", second, 1, false, 0, 0},
        {"Textures\\Anturaj\\Bochka.jpg", third, 1, false, 0, 0},
    };
    uint8_t* archive = nullptr;
    size_t archiveSize = 0;
    ASSERT_EQ(WriteRarArchive(entries, 4, &archive, &archiveSize), 0);

    struct Query {
        const char* name;
        int expected; // content byte, 0 = not found
    };
    const Query queries[] = {
        {"Textures\\Anturaj_Bochka.jpg", '1'}, {"textures/anturaj_bochka.jpg", '1'},
        {"TEXTURES_ANTURAJ_BOCHKA.JPG", '1'},  {"textures_anturaj/bochka.jpg", '1'},
        {"Textures\\Anturaj\\Bochka.jpg", '1'}, {"Textures\\Anturaj_Bochka.jp", 0},
        {"Textures\\Anturaj_Bochka.jpg2", 0},   {"", 0},
        {"Textures-Anturaj_Bochka.jpg", 0},
    };
    for (const Query& query : queries) {
        SCOPED_TRACE(query.name);
        uint8_t* buffer = nullptr;
        uint32_t size = 0;
        int found = ExtractEntry(archive, archiveSize, query.name, nullptr, &buffer, &size);
        EXPECT_EQ(found, query.expected ? 1 : 0);
        if (found) {
            ASSERT_EQ(size, 1u);
            EXPECT_EQ(buffer[0], query.expected);
        }
        delete[] buffer;
    }
    uint8_t* buffer = nullptr;
    uint32_t size = 0;
    EXPECT_EQ(ExtractEntry(archive, archiveSize, nullptr, nullptr, &buffer, &size), 0);
    EXPECT_EQ(ExtractEntry(archive, archiveSize, "Textures", nullptr, nullptr, &size), 0);
    delete[] archive;
}

TEST(RarArchive, LongAndUnicodeNamesAreCut)
{
    // Build a header by hand: a 300-byte name, and one with a zero byte before an encoded
    // Unicode copy.
    std::string longName(300, 'n');
    const RarWriterEntry entry = {"placeholder", nullptr, 0, false, 0, 0};
    uint8_t* archive = nullptr;
    size_t archiveSize = 0;
    ASSERT_EQ(WriteRarArchive(&entry, 1, &archive, &archiveSize), 0);
    std::vector<uint8_t> bytes(archive, archive + archiveSize);
    delete[] archive;
    const size_t header = 20;
    std::vector<uint8_t> headerBytes(bytes.begin() + header, bytes.begin() + header + 32);

    auto withName = [&](const std::string& name) {
        std::vector<uint8_t> result(bytes.begin(), bytes.begin() + header);
        std::vector<uint8_t> block = headerBytes;
        block[5] = uint8_t((32 + name.size()) & 0xFF);
        block[6] = uint8_t((32 + name.size()) >> 8);
        block[26] = uint8_t(name.size() & 0xFF);
        block[27] = uint8_t(name.size() >> 8);
        result.insert(result.end(), block.begin(), block.end());
        result.insert(result.end(), name.begin(), name.end());
        return result;
    };

    std::vector<uint8_t> longArchive = withName(longName);
    RarEntry* list = nullptr;
    ASSERT_EQ(ListArchive(longArchive.data(), longArchive.size(), &list), 1);
    EXPECT_EQ(list->nameSize, RarFormat::MaxNameSize);
    EXPECT_EQ(std::string(list->name), longName.substr(0, 259));
    FreeListing(list);

    std::string unicodeName = std::string("????.txt") + '\0' + "\x04UB5AB";
    std::vector<uint8_t> unicodeArchive = withName(unicodeName);
    ASSERT_EQ(ListArchive(unicodeArchive.data(), unicodeArchive.size(), &list), 1);
    EXPECT_STREQ(list->name, "????.txt");
    EXPECT_EQ(list->nameSize, 8);
    FreeListing(list);

    // Single-byte names outside ASCII stay as they are (here Windows-1251 "тест").
    std::string cyrillic = "\xF2\xE5\xF1\xF2.txt";
    std::vector<uint8_t> cyrillicArchive = withName(cyrillic);
    ASSERT_EQ(ListArchive(cyrillicArchive.data(), cyrillicArchive.size(), &list), 1);
    EXPECT_EQ(std::string(list->name), cyrillic);
    FreeListing(list);
    uint8_t* buffer = nullptr;
    uint32_t size = 1;
    EXPECT_EQ(ExtractEntry(cyrillicArchive.data(), cyrillicArchive.size(), cyrillic.c_str(), nullptr, &buffer, &size), 1);
    EXPECT_EQ(size, 0u);
    delete[] buffer;
}
