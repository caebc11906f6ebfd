#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "engine/core/Platform.h"
#include "engine/resources/Codec.h"
#include "engine/resources/CodecManager.h"
#include "engine/resources/FileManager.h"
#include "engine/resources/RarWriter.h"
#include "engine/resources/VirtualDirectory.h"
#include "engine/resources/VirtualFile.h"
#include "tests/native/RarTestData.h"
#include "tests/native/Sha256.h"
#include "tests/support/LogCapture.h"

using namespace Vorn;

namespace {

std::vector<std::string> Split(const std::string& text, const std::string& separator)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t at; (at = text.find(separator, start)) != std::string::npos; start = at + separator.size())
        parts.push_back(text.substr(start, at - start));
    parts.push_back(text.substr(start));
    return parts;
}

std::string Text(const String& text)
{
    return std::string(text.GetBuffer(), static_cast<size_t>(text.GetLength()));
}

// What a file yields when opened: its bytes, or nothing with opened false.
struct Opened {
    bool opened;
    std::string bytes;
};

Opened OpenAndRead(VirtualFile& file)
{
    if (file.Open(VirtualFile::ReadMode) != 0)
        return { false, std::string() };
    std::string bytes(reinterpret_cast<const char*>(file.GetBuffer()), static_cast<size_t>(file.GetSize()));
    file.Close();
    return { true, bytes };
}

int32_t CountFiles(const VirtualDirectory& directory)
{
    int32_t count = directory.GetFileCount();
    for (int32_t i = 0; i < directory.GetDirectoryCount(); ++i)
        count += CountFiles(*directory.GetDirectory(i));
    return count;
}

struct ArchiveEntry {
    const char* name; // '\' between components, as stored
    std::string data;
    bool directory;
};

std::vector<uint8_t> BuildArchive(const std::vector<ArchiveEntry>& entries)
{
    std::vector<RarWriterEntry> written;
    for (const ArchiveEntry& entry : entries)
        written.push_back({ entry.name, reinterpret_cast<const uint8_t*>(entry.data.data()),
                            static_cast<uint32_t>(entry.data.size()), entry.directory, 0x5A210000u, 0 });
    uint8_t* archive = nullptr;
    size_t size = 0;
    EXPECT_EQ(WriteRarArchive(written.data(), static_cast<int>(written.size()), &archive, &size), 0);
    std::vector<uint8_t> bytes(archive, archive + size);
    delete[] archive;
    return bytes;
}

// Mounts archives held in memory and takes every mounted directory away again at the end,
// so that each test starts from an empty root.
class Rar2FileCodecTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Codec* loaded = nullptr;
        ASSERT_EQ(CodecManager::LoadCodec(String("RAR2FileCodec"), &loaded), 0);
        codec = dynamic_cast<FileCodec*>(loaded);
        ASSERT_NE(codec, nullptr);
        ASSERT_NE(FileManager::GetRoot(), nullptr);
        ASSERT_EQ(FileManager::GetRoot()->GetDirectoryCount(), 0);
    }
    void TearDown() override
    {
        VirtualDirectory* root = FileManager::GetRoot();
        while (root && root->GetDirectoryCount() > 0)
            delete root->GetDirectory(0);
    }

    // Status of MountArchive over a MemoryFile holding a copy of the bytes.
    int Mount(const std::string& fileName, const std::vector<uint8_t>& bytes, const char* password = "")
    {
        MemoryFile archive{ String(fileName.c_str()) };
        uint8_t* copy = new uint8_t[bytes.size()];
        if (!bytes.empty())
            std::memcpy(copy, bytes.data(), bytes.size());
        archive.SetSourceData(copy, static_cast<uint32_t>(bytes.size()));
        return FileManager::MountArchive(&archive, String(password));
    }

    VirtualDirectory* Mounted(const char* directoryName)
    {
        VirtualDirectory* root = FileManager::GetRoot();
        for (int32_t i = 0; i < root->GetDirectoryCount(); ++i)
            if (Text(root->GetDirectory(i)->GetName()) == directoryName)
                return root->GetDirectory(i);
        return nullptr;
    }

    FileCodec* codec = nullptr;
};

} // namespace

// Every archive of the shared test data, checked entry by entry against its manifest.
TEST_F(Rar2FileCodecTest, RealArchivesMountWithTheContentsOfTheirManifest)
{
    std::ifstream manifest(VornTest::RarTestDataDir() + "/MANIFEST.tsv");
    if (!manifest)
        GTEST_SKIP() << "no shared RAR test data";
    std::string line;
    std::getline(manifest, line); // column names
    int archives = 0;
    while (std::getline(manifest, line)) {
        const std::vector<std::string> columns = Split(line, "\t");
        ASSERT_EQ(columns.size(), 10u) << line;
        const std::string& fileName = columns[0];
        SCOPED_TRACE(fileName);
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(VornTest::ReadFileBytes(VornTest::RarTestDataDir() + "/" + fileName, bytes));
        const std::string mountName = fileName.substr(0, fileName.size() - 4) + ".rar2";
        const std::string password = columns[5] == "-" ? "" : columns[5];
        ASSERT_EQ(Mount(mountName, bytes, password.c_str()), 0);
        VirtualDirectory* top = Mounted(mountName.c_str());
        ASSERT_NE(top, nullptr);
        ++archives;

        int32_t files = 0;
        for (const std::string& entryText : Split(columns[9], " ; ")) {
            const std::vector<std::string> fields = Split(entryText, "|");
            ASSERT_EQ(fields.size(), 8u) << entryText;
            const std::string& name = fields[0];
            SCOPED_TRACE(name);
            if (fields[1] == "dir") {
                EXPECT_NE(top->FindDirectory(String(name.c_str())), nullptr);
                continue;
            }
            ++files;
            // The manifest shows decoded Unicode names; the tree has the single-byte
            // name the header stores, so such an entry is only counted.
            bool plainName = true;
            for (const char c : name)
                plainName = plainName && static_cast<unsigned char>(c) < 0x80;
            if (!plainName)
                continue;
            VirtualFile* file = top->FindFile(String(name.c_str()));
            ASSERT_NE(file, nullptr);
            EXPECT_EQ(static_cast<MemoryFile*>(file)->GetKeeper(), static_cast<RefCounted*>(codec));
            // The RAR 1.5 compression method is not decoded: such entries stay without data.
            const bool decodable = fields[4] != "v15" || fields[5] == "m0x30";
            const Opened opened = OpenAndRead(*file);
            ASSERT_EQ(opened.opened, decodable);
            if (decodable) {
                EXPECT_EQ(opened.bytes.size(), std::stoul(fields[1]));
                EXPECT_EQ(VornTest::Sha256Hex(reinterpret_cast<const uint8_t*>(opened.bytes.data()), opened.bytes.size()),
                          fields[3]);
            }
        }
        EXPECT_EQ(CountFiles(*top), files);
        delete top;
    }
    EXPECT_GE(archives, 10);
}

TEST_F(Rar2FileCodecTest, EncryptedEntriesNeedThePassword)
{
    std::vector<uint8_t> bytes;
    if (!VornTest::ReadFileBytes(VornTest::RarTestDataDir() + "/junrar_rar20-password-compressed.rar", bytes))
        GTEST_SKIP() << "no shared RAR test data";
    struct Case {
        const char* password;
        bool opens;
    };
    for (const Case test : { Case{ "", false }, Case{ "wrong", false }, Case{ "password", true } }) {
        SCOPED_TRACE(test.password);
        ASSERT_EQ(Mount("Secret.rar2", bytes, test.password), 0);
        VirtualFile* file = FileManager::FindFile(String("SECRET.TXT"));
        ASSERT_NE(file, nullptr);
        EXPECT_EQ(OpenAndRead(*file).opened, test.opens);
        delete Mounted("Secret.rar2");
    }
}

// The program's own two archives, as resources 134 and 227.
TEST_F(Rar2FileCodecTest, ResourceArchivesMountInOrderAndMediaIsSearchedFirst)
{
    const std::vector<uint8_t> text = VornTest::MakeText(5000, 7);
    const std::string barrelBytes(text.begin(), text.end()); // compressible, so it is packed
    static const std::vector<uint8_t> custom = BuildArchive({
        { "Shared.txt", "from custom data", false },
        { "Logo.bmp", "BM-logo", false },
    });
    static const std::vector<uint8_t> media = BuildArchive({
        { "Textures", "", true },
        { "Textures\\Anturaj_Bochka.jpg", barrelBytes, false },
        { "Main.STR", "scene bytes", false },
        { "Shared.txt", "from media", false },
    });
    RegisterMediaResource(134, custom.data(), static_cast<int32_t>(custom.size()));
    RegisterMediaResource(227, media.data(), static_cast<int32_t>(media.size()));

    LogCapture log;
    ASSERT_EQ(FileManager::MountResourceArchive(134, String("CustomData.rar2")), 0);
    ASSERT_EQ(FileManager::MountResourceArchive(227, String("Media.rar2")), 0);
    EXPECT_TRUE(log.Contains("INFO. Директория [CustomData.rar2] добавлена к директории []."));
    EXPECT_FALSE(log.Contains("INFO. Директория [Media.rar2] добавлена к директории []."));
    EXPECT_TRUE(log.Contains("INFO. Удаляется файл [Media.rar2].")); // the borrowed resource file
    for (const std::string& line : log.Lines())
        EXPECT_EQ(line.rfind("INFO. ", 0), 0u) << line;

    VirtualDirectory* root = FileManager::GetRoot();
    ASSERT_EQ(root->GetDirectoryCount(), 2);
    EXPECT_EQ(Text(root->GetDirectory(0)->GetName()), "Media.rar2");
    EXPECT_EQ(Text(root->GetDirectory(1)->GetName()), "CustomData.rar2");

    VirtualFile* shared = FileManager::FindFile(String("Shared.txt"));
    ASSERT_NE(shared, nullptr);
    EXPECT_EQ(OpenAndRead(*shared).bytes, "from media");
    EXPECT_NE(FileManager::FindFile(String("Logo.bmp")), nullptr);
    EXPECT_NE(FileManager::FindFile(String("Main.STR")), nullptr);

    VirtualFile* barrel = FileManager::FindFile(String("Textures/Anturaj_Bochka.jpg"));
    ASSERT_NE(barrel, nullptr);
    EXPECT_EQ(FileManager::FindFile(String("Textures\\Anturaj_Bochka.jpg")), barrel);
    EXPECT_EQ(FileManager::FindFile(String("Anturaj_Bochka.jpg")), barrel);
    EXPECT_EQ(FileManager::FindFile(String("textures/Anturaj_Bochka.jpg")), nullptr);
    EXPECT_EQ(Text(barrel->GetPath()), "Media.rar2/Textures/Anturaj_Bochka.jpg");
    EXPECT_EQ(Text(barrel->GetParent()->GetName()), "Textures");
    EXPECT_EQ(OpenAndRead(*barrel).bytes, barrelBytes);
}

TEST_F(Rar2FileCodecTest, AnEntryFailingItsChecksumIsAFileWithoutData)
{
    std::vector<uint8_t> bytes = BuildArchive({
        { "a.txt", "first entry", false },
        { "b.txt", "second entry", false },
        { "c.txt", "third entry", false },
    });
    // The header's CRC-32 of b.txt lies 16 bytes into the 32-byte header before its name.
    const std::string archive(bytes.begin(), bytes.end());
    const size_t name = archive.find("b.txt");
    ASSERT_NE(name, std::string::npos);
    bytes[name - 32 + 16] ^= 0x5A;

    LogCapture log;
    ASSERT_EQ(Mount("Damaged.rar2", bytes), 0);
    VirtualDirectory* top = Mounted("Damaged.rar2");
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(top->GetFileCount(), 3);
    MemoryFile* damaged = static_cast<MemoryFile*>(top->FindFile(String("b.txt")));
    ASSERT_NE(damaged, nullptr);
    EXPECT_EQ(damaged->GetSourceData(), nullptr);
    EXPECT_FALSE(OpenAndRead(*damaged).opened);
    EXPECT_EQ(OpenAndRead(*top->FindFile(String("a.txt"))).bytes, "first entry");
    EXPECT_EQ(OpenAndRead(*top->FindFile(String("c.txt"))).bytes, "third entry");
    for (const std::string& line : log.Lines())
        EXPECT_EQ(line.rfind("INFO. ", 0), 0u) << line; // the failure itself is silent
}

TEST_F(Rar2FileCodecTest, DataThatIsNoArchiveMountsAsAnEmptyDirectory)
{
    const std::string sample = "Rar!\x1A\x07"; // one byte short of the marker
    const std::vector<std::vector<uint8_t>> inputs = {
        {},
        std::vector<uint8_t>(sample.begin(), sample.end()),
        std::vector<uint8_t>(100, 0xFF),
    };
    for (const std::vector<uint8_t>& input : inputs) {
        SCOPED_TRACE(input.size());
        ASSERT_EQ(Mount("Junk.rar2", input), 0);
        VirtualDirectory* top = Mounted("Junk.rar2");
        ASSERT_NE(top, nullptr);
        EXPECT_EQ(top->GetDirectoryCount() + top->GetFileCount(), 0);
        delete top;
    }
}

// Archives that do not list an entry's directories, and names that climb or repeat
// separators, still give a tree that holds every file once.
TEST_F(Rar2FileCodecTest, MissingDirectoriesAreCreatedAndOddNamesStayInside)
{
    const std::vector<uint8_t> bytes = BuildArchive({
        { "Orphans\\Deep\\x.txt", "x", false },
        { "Orphans\\y.txt", "y", false },
        { "..\\..\\evil.txt", "evil", false },
        { "\\lead.txt", "lead", false },
        { "a\\\\b.txt", "b", false },
        { ".\\dot.txt", "dot", false },
    });
    ASSERT_EQ(Mount("Odd.rar2", bytes), 0);
    VirtualDirectory* top = Mounted("Odd.rar2");
    ASSERT_NE(top, nullptr);

    VirtualDirectory* orphans = top->FindDirectory(String("Orphans"));
    ASSERT_NE(orphans, nullptr);
    EXPECT_EQ(orphans->GetDirectoryCount(), 1);
    EXPECT_EQ(top->GetDirectoryCount(), 2); // Orphans and a, nothing twice
    const std::pair<const char*, const char*> cases[] = {
        { "Orphans/Deep/x.txt", "x" }, { "Orphans/y.txt", "y" }, { "evil.txt", "evil" },
        { "lead.txt", "lead" },        { "a/b.txt", "b" },       { "dot.txt", "dot" },
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.first);
        VirtualFile* file = top->FindFile(String(test.first));
        ASSERT_NE(file, nullptr);
        EXPECT_EQ(OpenAndRead(*file).bytes, test.second);
    }
    EXPECT_EQ(top->GetFileCount(), 3); // evil, lead and dot stay at the top
    EXPECT_EQ(CountFiles(*top), 6);
}

TEST_F(Rar2FileCodecTest, MountingFailuresAreReported)
{
    VirtualDirectory* directory = nullptr;
    MemoryFile noData(String("NoData.rar2"));
    EXPECT_EQ(codec->Load(nullptr, &directory, String()), 3);
    EXPECT_EQ(codec->Load(&noData, nullptr, String()), 3);
    EXPECT_EQ(codec->Load(&noData, &directory, String()), 1);
    EXPECT_EQ(directory, nullptr);

    MemoryFile zip(String("Archive.zip"));
    LogCapture log;
    EXPECT_EQ(FileManager::MountArchive(nullptr), 3);
    EXPECT_EQ(FileManager::MountArchive(&zip), 3);
    EXPECT_EQ(FileManager::MountArchive(&noData), 1);
    EXPECT_EQ(FileManager::MountResourceArchive(999, String("Missing.rar2")), 1);
    const std::vector<std::string> expected = {
        "WARNING. Указатель на архив равен 0.",
        "WARNING. Не найден кодек для архива [Archive.zip].",
        "ERROR. Невозможно загрузить директорию из архива [NoData.rar2].",
        "ERROR. Невозможно найти ресурс ID[999].",
        "WARNING. Невозможно прочитать ресурс ID[999] Имя[Missing.rar2].",
    };
    EXPECT_EQ(log.Lines(), expected);
    EXPECT_EQ(FileManager::GetRoot()->GetDirectoryCount(), 0);
}
