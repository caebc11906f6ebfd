#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/resources/Crc32.h"
#include "engine/resources/RarArchive.h"
#include "engine/resources/RarWriter.h"
#include "tests/native/RarTestData.h"

using namespace Vorn;
using namespace VornTest;

namespace {

std::string ArchiveName(const std::string& name)
{
    std::string result = name;
    for (char& c : result)
        if (c == '/')
            c = '\\';
    return result;
}

std::vector<uint8_t> Pack(const std::vector<CorpusFile>& files)
{
    std::vector<RarWriterEntry> entries;
    for (const CorpusFile& file : files)
        entries.push_back({file.name.c_str(), file.data.empty() ? nullptr : file.data.data(),
                           uint32_t(file.data.size()), file.directory, 0x3D63036E, 0});
    uint8_t* archive = nullptr;
    size_t size = 0;
    EXPECT_EQ(WriteRarArchive(entries.data(), int(entries.size()), &archive, &size), 0);
    std::vector<uint8_t> bytes(archive, archive + size);
    delete[] archive;
    return bytes;
}

uint16_t Load16(const uint8_t* at)
{
    return uint16_t(at[0] | at[1] << 8);
}

uint32_t Load32(const uint8_t* at)
{
    return uint32_t(at[0]) | uint32_t(at[1]) << 8 | uint32_t(at[2]) << 16 | uint32_t(at[3]) << 24;
}

bool HeaderCrcMatches(const uint8_t* header, size_t size)
{
    return Load16(header) == (ComputeCrc32(header + 2, size - 2) & 0xFFFF);
}

// Removes the folder when the test ends, however it ends.
struct TemporaryFolder {
    TemporaryFolder()
    {
        char pattern[] = "/tmp/vorn-rar-test-XXXXXX";
        if (char* made = mkdtemp(pattern))
            path = made;
    }
    ~TemporaryFolder()
    {
        std::error_code ignored;
        if (!path.empty())
            std::filesystem::remove_all(path, ignored);
    }
    std::string path;
};

} // namespace

TEST(RarWriter, WritesThePlainLayout)
{
    std::vector<CorpusFile> files = {
        {"Textures", true, {}},
        {"Textures/Anturaj_Bochka.jpg", false, MakeText(20000, 31)},
        {"Textures/empty.txt", false, {}},
        {"noise.bin", false, MakeNoise(3000, 32)},
    };
    std::vector<uint8_t> archive = Pack(files);
    ASSERT_GE(archive.size(), 20u);
    EXPECT_EQ(std::memcmp(archive.data(), "Rar!\x1A\x07\x00", 7), 0);
    const uint8_t* main = archive.data() + 7;
    EXPECT_EQ(main[2], 0x73);
    EXPECT_EQ(Load16(main + 3), 0); // not solid
    EXPECT_EQ(Load16(main + 5), 13);
    EXPECT_TRUE(HeaderCrcMatches(main, 13));

    size_t pos = 20;
    for (const CorpusFile& file : files) {
        SCOPED_TRACE(file.name);
        ASSERT_LE(pos + 32, archive.size());
        const uint8_t* header = archive.data() + pos;
        uint16_t headerSize = Load16(header + 5);
        uint16_t flags = Load16(header + 3);
        uint32_t packedSize = Load32(header + 7);
        uint8_t method = header[25];
        EXPECT_EQ(header[2], RarFormat::FileBlockType);
        EXPECT_TRUE(HeaderCrcMatches(header, headerSize));
        EXPECT_EQ(header[24], 20);
        EXPECT_EQ(Load32(header + 20), 0x3D63036Eu);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(header) + 32, Load16(header + 26)), ArchiveName(file.name));
        EXPECT_EQ(Load32(header + 11), file.data.size());
        EXPECT_EQ(Load32(header + 16), ComputeCrc32(file.data.data(), file.data.size()));
        if (file.directory) {
            EXPECT_EQ(flags, 0x80E0);
            EXPECT_EQ(Load32(header + 28) & 0x10, 0x10u);
            EXPECT_EQ(packedSize, 0u);
        } else {
            EXPECT_EQ(flags, 0x8040); // 256 KB dictionary
            EXPECT_EQ(Load32(header + 28), 0x20u);
        }
        if (!file.directory && file.data.empty()) {
            EXPECT_EQ(packedSize, 0u);
            EXPECT_EQ(method, 0x33);
        }
        if (file.name == "noise.bin") {
            EXPECT_EQ(method, RarFormat::MethodStored);
            EXPECT_EQ(packedSize, file.data.size());
            EXPECT_EQ(std::memcmp(header + headerSize, file.data.data(), packedSize), 0);
        }
        if (file.name == "Textures/Anturaj_Bochka.jpg") {
            EXPECT_LT(packedSize, file.data.size() / 2);
        }
        pos += headerSize + packedSize;
    }
    EXPECT_EQ(pos, archive.size()) << "the last file's data ends the archive";
}

TEST(RarWriter, RefusesWhatTheFormatCannotHold)
{
    std::string longName(260, 'x');
    const uint8_t byte = 1;
    const RarWriterEntry emptyName = {"", &byte, 1, false, 0, 0};
    const RarWriterEntry tooLong = {longName.c_str(), &byte, 1, false, 0, 0};
    const RarWriterEntry noData = {"a", nullptr, 5, false, 0, 0};
    uint8_t* archive = nullptr;
    size_t size = 0;
    EXPECT_EQ(WriteRarArchive(&emptyName, 1, &archive, &size), 1);
    EXPECT_EQ(WriteRarArchive(&tooLong, 1, &archive, &size), 1);
    EXPECT_EQ(WriteRarArchive(&noData, 1, &archive, &size), 3);
    EXPECT_EQ(WriteRarArchive(&emptyName, 1, nullptr, &size), 3);
    EXPECT_EQ(archive, nullptr);
    EXPECT_EQ(size, 0u);
    ASSERT_EQ(WriteRarArchive(nullptr, 0, &archive, &size), 0);
    EXPECT_EQ(size, 20u);
    RarEntry* list = nullptr;
    EXPECT_EQ(ListArchive(archive, size, &list), 0);
    delete[] archive;
}

TEST(RarWriter, PackedCorpusReadsBack)
{
    std::vector<CorpusFile> files = MakeCorpus(true);
    std::vector<uint8_t> archive = Pack(files);
    RarEntry* list = nullptr;
    ASSERT_EQ(ListArchive(archive.data(), archive.size(), &list), int(files.size()));
    RarEntry* entry = list;
    for (const CorpusFile& file : files) {
        SCOPED_TRACE(file.name);
        ASSERT_NE(entry, nullptr);
        EXPECT_EQ(std::string(entry->name), ArchiveName(file.name));
        EXPECT_EQ((entry->flags & RarFormat::FileDictionaryMask) == RarFormat::FileDirectory, file.directory);
        EXPECT_EQ((entry->attributes & RarFormat::DirectoryAttribute) != 0, file.directory);
        if (!file.directory) {
            uint8_t* data = nullptr;
            uint32_t size = 0;
            ASSERT_EQ(ExtractEntry(archive.data(), archive.size(), file.name.c_str(), nullptr, &data, &size), 1);
            ASSERT_EQ(size, file.data.size());
            EXPECT_TRUE(size == 0 || std::memcmp(data, file.data.data(), size) == 0);
            delete[] data;
        }
        entry = entry->next;
    }
    FreeListing(list);
}

// An independent decoder must read our archives too.
TEST(RarWriter, UnarExtractsOurArchives)
{
    if (std::system("command -v unar >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "unar is not installed";
    TemporaryFolder folder;
    ASSERT_FALSE(folder.path.empty());
    std::vector<CorpusFile> files = MakeCorpus(true);
    std::vector<uint8_t> archive = Pack(files);
    std::string archivePath = folder.path + "/corpus.rar";
    std::string outputPath = folder.path + "/out";
    FILE* file = std::fopen(archivePath.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(std::fwrite(archive.data(), 1, archive.size(), file), archive.size());
    std::fclose(file);

    // -D: no extra containing folder even though the archive has several top-level entries.
    std::string command = "unar -q -D -o '" + outputPath + "' -f '" + archivePath + "' >/dev/null 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    for (const CorpusFile& expected : files) {
        SCOPED_TRACE(expected.name);
        std::string path = outputPath + "/" + expected.name;
        if (expected.directory) {
            EXPECT_TRUE(std::filesystem::is_directory(path));
            continue;
        }
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(ReadFileBytes(path, bytes));
        EXPECT_TRUE(bytes == expected.data);
    }
}
