#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/resources/VirtualDirectory.h"
#include "engine/resources/VirtualFile.h"
#include "tests/support/LogCapture.h"
#include "tests/support/TempDirectory.h"

using namespace Vorn;

namespace {

std::vector<std::string> DirectoryNames(const VirtualDirectory& directory)
{
    std::vector<std::string> names;
    for (int32_t i = 0; i < directory.GetDirectoryCount(); ++i)
        names.push_back(directory.GetDirectory(i)->GetName().GetBuffer());
    return names;
}

std::vector<std::string> FileNames(const VirtualDirectory& directory)
{
    std::vector<std::string> names;
    for (int32_t i = 0; i < directory.GetFileCount(); ++i)
        names.push_back(directory.GetFile(i)->GetName().GetBuffer());
    return names;
}

uint8_t* CopyOf(const std::string& text)
{
    uint8_t* bytes = new uint8_t[text.size()];
    std::memcpy(bytes, text.data(), text.size());
    return bytes;
}

std::string Contents(VirtualFile& file)
{
    return std::string(reinterpret_cast<const char*>(file.GetBuffer()), static_cast<size_t>(file.GetCapacity()));
}

} // namespace

// --- ordering of a directory's lists -------------------------------------------------

struct OrderingCase {
    const char* label;
    std::vector<std::string> attached; // in attaching order
    std::vector<std::string> listed;   // resulting list order
};

TEST(FileSystemOrdering, ListsRunByDescendingSignedFirstByte)
{
    const OrderingCase cases[] = {
        { "descending first byte", { "Alpha", "Media", "Custom" }, { "Media", "Custom", "Alpha" } },
        { "only the first byte counts", { "Mb", "Ma", "Mz" }, { "Mb", "Ma", "Mz" } },
        { "Cyrillic (signed negative) after ASCII", { "Текстуры", "Zeta", "a" }, { "a", "Zeta", "Текстуры" } },
        { "an empty name goes after longer ones", { "", "abc", "x" }, { "x", "abc", "" } },
        { "an empty name attached later is appended", { "abc", "" }, { "abc", "" } },
    };
    for (const OrderingCase& test : cases) {
        SCOPED_TRACE(test.label);
        VirtualDirectory top(String("top"));
        for (const std::string& name : test.attached) {
            ASSERT_EQ(top.AttachDirectory(new VirtualDirectory(String(name.c_str()))), 0);
            ASSERT_EQ(top.AttachFile(new VirtualFile(String(name.c_str()))), 0);
        }
        EXPECT_EQ(DirectoryNames(top), test.listed);
        EXPECT_EQ(FileNames(top), test.listed);
    }
}

TEST(FileSystemOrdering, OnlyAnEntryAppendedAtTheEndLogsItsArrival)
{
    LogCapture log;
    VirtualDirectory top(String(""));
    top.AttachDirectory(new VirtualDirectory(String("CustomData.rar2")));
    top.AttachDirectory(new VirtualDirectory(String("Media.rar2")));
    top.AttachFile(new VirtualFile(String("b.txt")));
    top.AttachFile(new VirtualFile(String("c.txt")));
    const std::vector<std::string> expected = {
        "INFO. Директория [CustomData.rar2] добавлена к директории [].",
        "INFO. Файл [b.txt] добавлен к директории [].",
    };
    EXPECT_EQ(log.Lines(), expected);
}

// --- attaching and detaching ---------------------------------------------------------

TEST(FileSystemMembership, RefusalsGiveStatusThreeAndTheirWarning)
{
    VirtualDirectory top(String("top"));
    VirtualDirectory* child = new VirtualDirectory(String("child"), &top);
    VirtualFile* file = new VirtualFile(String("f.bin"));
    ASSERT_EQ(top.AttachFile(file), 0);
    VirtualDirectory stranger(String("stranger"));
    VirtualFile strangerFile(String("g.bin"));

    LogCapture log;
    EXPECT_EQ(top.AttachDirectory(nullptr), 3);
    EXPECT_EQ(top.AttachDirectory(child), 3);
    EXPECT_EQ(top.AttachFile(nullptr), 3);
    EXPECT_EQ(top.AttachFile(file), 3);
    EXPECT_EQ(top.DetachDirectory(nullptr), 3);
    EXPECT_EQ(top.DetachDirectory(&stranger), 3);
    EXPECT_EQ(top.DetachFile(nullptr), 3);
    EXPECT_EQ(top.DetachFile(&strangerFile), 3);
    const std::vector<std::string> expected = {
        "WARNING. Указатель на присоединяемую директорию равен 0. Корневая директория [top].",
        "WARNING. Присоединяемая директория [child] уже присоединена к директории [top].",
        "WARNING. Указатель на присоединяемый файл равен 0. Корневая директория [top].",
        "WARNING. Присоединяемый файл [f.bin] уже присоединена к директории [top].",
        "WARNING. Указатель на отсоединяемую директорию равен 0. Корневая директория [top].",
        "WARNING. Удаляемая директория [stranger] не найдена в директории [top].",
        "WARNING. Указатель на отсоединяемый файл равен 0. Корневая директория [top].",
        "WARNING. Удаляемый файл [g.bin] не найден в директории [top].",
    };
    EXPECT_EQ(log.Lines(), expected);
    EXPECT_EQ(top.GetDirectoryCount(), 1);
    EXPECT_EQ(top.GetFileCount(), 1);
}

TEST(FileSystemMembership, SameNamedDirectoriesBothAttachAndTheFirstIsFound)
{
    VirtualDirectory top(String("top"));
    VirtualDirectory* first = new VirtualDirectory(String("Textures"), &top);
    VirtualDirectory* second = new VirtualDirectory(String("Textures"), &top);
    EXPECT_EQ(top.GetDirectoryCount(), 2);
    EXPECT_EQ(second->GetParent(), &top);
    EXPECT_EQ(top.FindDirectory(String("Textures")), first);
}

TEST(FileSystemMembership, DetachingKeepsOrderAndHandsTheEntryBack)
{
    VirtualDirectory top(String("top"));
    VirtualDirectory* c = new VirtualDirectory(String("c"), &top);
    VirtualDirectory* b = new VirtualDirectory(String("b"), &top);
    new VirtualDirectory(String("a"), &top);
    LogCapture log;
    ASSERT_EQ(top.DetachDirectory(c), 0);
    EXPECT_EQ(log.Lines(), std::vector<std::string>{ "INFO. Директория [c] удалена из директории [top]." });
    EXPECT_EQ(c->GetParent(), nullptr);
    EXPECT_EQ(DirectoryNames(top), (std::vector<std::string>{ "b", "a" }));
    delete c;
    EXPECT_EQ(top.FindDirectory(String("b")), b);
}

TEST(FileSystemMembership, ADirectoryCannotEnterItsOwnSubtree)
{
    VirtualDirectory top(String("top"));
    VirtualDirectory* middle = new VirtualDirectory(String("middle"), &top);
    VirtualDirectory* bottom = new VirtualDirectory(String("bottom"), middle);
    EXPECT_EQ(bottom->AttachDirectory(middle), 3);
    EXPECT_EQ(middle->AttachDirectory(middle), 3);
    EXPECT_EQ(middle->GetParent(), &top);
    EXPECT_EQ(bottom->GetParent(), middle);
}

TEST(FileSystemMembership, AttachingElsewhereMovesTheEntry)
{
    VirtualDirectory first(String("first"));
    VirtualDirectory second(String("second"));
    VirtualDirectory* moving = new VirtualDirectory(String("moving"), &first);
    VirtualFile* file = new VirtualFile(String("f"));
    first.AttachFile(file);
    EXPECT_EQ(second.AttachDirectory(moving), 0);
    EXPECT_EQ(second.AttachFile(file), 0);
    EXPECT_EQ(first.GetDirectoryCount() + first.GetFileCount(), 0);
    EXPECT_EQ(moving->GetParent(), &second);
    EXPECT_EQ(file->GetParent(), &second);
}

TEST(FileSystemMembership, DestroyingATreeDetachesItAndLogsEachPart)
{
    VirtualDirectory top(String("top"));
    VirtualDirectory* branch = new VirtualDirectory(String("branch"), &top);
    branch->AttachFile(new MemoryFile(String("leaf")));
    LogCapture log;
    delete branch;
    const std::vector<std::string> expected = {
        "INFO. Удаляется директория [branch].",
        "INFO. Директория [branch] удалена из директории [top].",
        "INFO. Удаляется файл [leaf].",
        "INFO. Директория удалена [branch].",
    };
    EXPECT_EQ(log.Lines(), expected);
    EXPECT_EQ(top.GetDirectoryCount(), 0);

    VirtualFile* file = new VirtualFile(String("alone"));
    top.AttachFile(file);
    log.Clear();
    delete file;
    EXPECT_EQ(log.Lines(), (std::vector<std::string>{ "INFO. Удаляется файл [alone].",
                                                     "INFO. Файл [alone] удалён из директории [top]." }));
    EXPECT_EQ(top.GetFileCount(), 0);
}

// --- lookups and paths ---------------------------------------------------------------

// The root, a mounted archive "Media.rar2" with Textures/Anturaj_Bochka.jpg and
// Scenes/Main.STR, and a second archive listed after it.
class FileSystemTreeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        media = new VirtualDirectory(String("Media.rar2"), &root);
        textures = new VirtualDirectory(String("Textures"), media);
        scenes = new VirtualDirectory(String("Scenes"), media);
        barrel = new MemoryFile(String("Anturaj_Bochka.jpg"));
        textures->AttachFile(barrel);
        scene = new MemoryFile(String("Main.STR"));
        scenes->AttachFile(scene);
    }

    VirtualDirectory root{ String() };
    VirtualDirectory* media = nullptr;
    VirtualDirectory* textures = nullptr;
    VirtualDirectory* scenes = nullptr;
    VirtualFile* barrel = nullptr;
    VirtualFile* scene = nullptr;
};

TEST_F(FileSystemTreeTest, FindFileAcceptsEveryPathForm)
{
    struct Case {
        const char* path;
        VirtualFile* expected; // null: nothing found
    };
    const Case cases[] = {
        { "Textures/Anturaj_Bochka.jpg", barrel },
        { "Textures\\Anturaj_Bochka.jpg", barrel },
        { "./Textures/Anturaj_Bochka.jpg", barrel },
        { "/Textures/Anturaj_Bochka.jpg", barrel },
        { "Textures//Anturaj_Bochka.jpg", barrel },
        { "Scenes/../Textures/Anturaj_Bochka.jpg", barrel },
        { "Textures\\sub/../Anturaj_Bochka.jpg", nullptr }, // '\' splits first: "sub/.." is a file name
        { "Anturaj_Bochka.jpg", barrel },
        { "Main.STR", scene },
        { "textures/Anturaj_Bochka.jpg", nullptr },
        { "Textures/anturaj_bochka.jpg", nullptr },
        { "main.str", nullptr },
        { "Textures/Main.STR", nullptr },
        { "../Textures/Anturaj_Bochka.jpg", nullptr },
        { "", nullptr },
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.path);
        EXPECT_EQ(media->FindFile(String(test.path)), test.expected);
    }
}

TEST_F(FileSystemTreeTest, FindDirectoryFollowsDotsSeparatorsAndOwnName)
{
    VirtualDirectory* deep = new VirtualDirectory(String("b"), textures);
    struct Case {
        const char* path;
        VirtualDirectory* expected;
    };
    const Case cases[] = {
        { "", media },
        { ".", media },
        { "Media.rar2", media },
        { "Textures", textures },
        { "Textures/b", deep },
        { "Textures/../Textures/b", deep },
        { "Textures\\b", deep },
        { "Textures/b/", deep },
        { "Textures/b/..", textures },
        { "..", &root },
        { "../..", nullptr },
        { "textures", nullptr },
        { "Missing/b", nullptr },
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.path);
        EXPECT_EQ(media->FindDirectory(String(test.path)), test.expected);
    }
    EXPECT_EQ(media->FindDirectory(String(std::string(100000, '/').c_str())), media);
}

TEST_F(FileSystemTreeTest, BareNamesAreSearchedDepthFirstOwnFilesFirst)
{
    // 'T' sorts before 'S', so Textures is searched before Scenes, and a copy deep inside
    // it wins over a shallow one in Scenes.
    VirtualDirectory* deep = new VirtualDirectory(String("Deep"), textures);
    MemoryFile* deepCopy = new MemoryFile(String("Shared.txt"));
    deep->AttachFile(deepCopy);
    scenes->AttachFile(new MemoryFile(String("Shared.txt")));
    ASSERT_EQ(DirectoryNames(*media), (std::vector<std::string>{ "Textures", "Scenes" }));
    EXPECT_EQ(media->FindFile(String("Shared.txt")), deepCopy);

    MemoryFile* own = new MemoryFile(String("Shared.txt"));
    media->AttachFile(own);
    EXPECT_EQ(media->FindFile(String("Shared.txt")), own);
}

TEST_F(FileSystemTreeTest, FullPathsJoinNamesBelowTheUnnamedRoot)
{
    EXPECT_EQ(std::string(root.GetFullPath().GetBuffer()), "");
    EXPECT_EQ(std::string(media->GetFullPath().GetBuffer()), "Media.rar2/");
    EXPECT_EQ(std::string(textures->GetFullPath().GetBuffer()), "Media.rar2/Textures/");
    EXPECT_EQ(std::string(barrel->GetPath().GetBuffer()), "Media.rar2/Textures/Anturaj_Bochka.jpg");
    VirtualFile loose(String("Loose.bmp"));
    EXPECT_EQ(std::string(loose.GetPath().GetBuffer()), "Loose.bmp");
}

TEST(FileSystemNames, ExtensionIsWhatFollowsTheLastDot)
{
    const std::pair<const char*, const char*> cases[] = {
        { "Main.STR", "STR" }, { "a.tar.Jpeg", "Jpeg" }, { "noext", "" }, { "trailing.", "" }, { ".hidden", "hidden" },
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.first);
        EXPECT_EQ(std::string(VirtualFile(String(test.first)).GetExtension().GetBuffer()), test.second);
    }
}

// --- files on disk -------------------------------------------------------------------

class FileSystemDiskFileTest : public ::testing::Test {
protected:
    VornTest::TempDirectory temp;
    VirtualDirectory folder{ String(temp.Path().c_str()) };

    VirtualFile* AddFile(const char* fileName)
    {
        VirtualFile* file = new VirtualFile(String(fileName));
        folder.AttachFile(file);
        return file;
    }
    std::string Path(const char* fileName) const { return temp.File(fileName); }
};

TEST_F(FileSystemDiskFileTest, WriteModeWritesTheBufferOnCloseAndAppendAddsToIt)
{
    VirtualFile* file = AddFile("out.bin");
    EXPECT_EQ(std::string(file->GetPath().GetBuffer()), Path("out.bin"));
    ASSERT_EQ(file->Open(VirtualFile::WriteMode), 0);
    file->WriteInt32(0x64636261);
    EXPECT_EQ(file->GetSize(), 4);
    EXPECT_EQ(temp.Read("out.bin"), ""); // nothing reaches the disk before Close
    ASSERT_EQ(file->Close(), 0);
    EXPECT_EQ(temp.Read("out.bin"), "abcd");

    ASSERT_EQ(file->Open(VirtualFile::AppendMode), 0);
    file->Write("ef", 2);
    ASSERT_EQ(file->Close(), 0);
    EXPECT_EQ(temp.Read("out.bin"), "abcdef");
    EXPECT_EQ(file->GetSize(), 6);
    EXPECT_FALSE(file->IsOpen()); // measuring a closed file leaves it closed
}

TEST_F(FileSystemDiskFileTest, ReadModeLoadsTheWholeFile)
{
    temp.Write("in.bin", std::string("\x01\x02\x03\x04xyz", 7));
    VirtualFile* file = AddFile("in.bin");
    EXPECT_EQ(file->GetSize(), 7);
    ASSERT_EQ(file->Open(VirtualFile::ReadMode), 0);
    EXPECT_EQ(file->GetCapacity(), 7);
    int32_t value = 0;
    EXPECT_EQ(file->ReadInt32(value), 0);
    EXPECT_EQ(value, 0x04030201);
    char rest[3];
    EXPECT_EQ(file->Read(rest, 3), 0);
    EXPECT_EQ(std::string(rest, 3), "xyz");
    EXPECT_EQ(file->Close(), 0);
    EXPECT_EQ(file->GetBuffer(), nullptr);

    temp.Write("empty.bin", "");
    VirtualFile* empty = AddFile("empty.bin");
    EXPECT_EQ(empty->Open(VirtualFile::ReadMode), 0);
    EXPECT_EQ(empty->GetSize(), 0);
    EXPECT_EQ(empty->Close(), 0);
}

TEST_F(FileSystemDiskFileTest, WrongDirectionAndClosedFilesAreRefusedWithTheirWarning)
{
    temp.Write("data.bin", "abcd");
    VirtualFile* file = AddFile("data.bin");
    const std::string path = Path("data.bin");
    char byte = 0;
    LogCapture log;

    ASSERT_EQ(file->Open(VirtualFile::ReadMode), 0);
    EXPECT_EQ(file->Write("x", 1), 1);
    ASSERT_EQ(file->Close(), 0);
    EXPECT_EQ(file->Write("x", 1), 1);
    EXPECT_EQ(file->Read(&byte, 1), 1);
    EXPECT_EQ(file->Close(), 0); // closing a closed file is no failure
    ASSERT_EQ(file->Open(VirtualFile::AppendMode), 0);
    EXPECT_EQ(file->Read(&byte, 1), 1);
    ASSERT_EQ(file->Close(), 0);

    const std::vector<std::string> expected = {
        "WARNING. Запись в файл [" + path + "], открытый для чтения.",
        "WARNING. Запись в закрытый файл [" + path + "].",
        "WARNING. Чтение из закрытого файла [" + path + "].",
        "WARNING. Чтение из файла [" + path + "], открытого для записи.",
    };
    EXPECT_EQ(log.Lines(), expected);
    EXPECT_EQ(temp.Read("data.bin"), "abcd");
}

TEST_F(FileSystemDiskFileTest, MissingFilesFailToOpenAndMeasureAsEmpty)
{
    VirtualFile* file = AddFile("missing.bin");
    const std::string path = Path("missing.bin");
    LogCapture log;
    EXPECT_EQ(file->Open(VirtualFile::ReadMode), 1);
    EXPECT_FALSE(file->IsOpen());
    EXPECT_EQ(file->GetSize(), 0);
    EXPECT_EQ(file->Open(7), 1); // no such mode
    const std::vector<std::string> expected = {
        "WARNING. Невозможно открыть файл [" + path + "].",
        "WARNING. Невозможно открыть файл [" + path + "].",
        "WARNING. Файл [" + path + "] не может быть открыть для чтения.",
        "WARNING. Невозможно открыть файл [" + path + "].",
    };
    EXPECT_EQ(log.Lines(), expected);
}

TEST_F(FileSystemDiskFileTest, ReopeningAnOpenFileClosesItFirst)
{
    VirtualFile* file = AddFile("twice.bin");
    ASSERT_EQ(file->Open(VirtualFile::WriteMode), 0);
    file->Write("12", 2);
    ASSERT_EQ(file->Open(VirtualFile::ReadMode), 0); // the pending bytes are written out first
    EXPECT_EQ(Contents(*file), "12");
    EXPECT_EQ(file->GetPosition(), 0);
    file->Close();

    // A position moved past the bytes written cannot make Close write beyond them.
    ASSERT_EQ(file->Open(VirtualFile::WriteMode), 0);
    file->Write("3", 1);
    file->SetPosition(1 << 20);
    EXPECT_EQ(file->Close(), 0);
    EXPECT_EQ(temp.Read("twice.bin").size(), 1024u); // the buffer grew by one increment
}

// --- files in memory -----------------------------------------------------------------

TEST(FileSystemMemoryFileTest, OpensOnlyForReadingAndOnlyWithData)
{
    MemoryFile file(String("entry.txt"));
    LogCapture log;
    EXPECT_EQ(file.Open(VirtualFile::ReadMode), 1); // no data yet
    file.SetSourceData(CopyOf("hello"), 5);
    EXPECT_EQ(file.Open(VirtualFile::WriteMode), 1);
    EXPECT_EQ(file.Open(VirtualFile::AppendMode), 1);
    EXPECT_FALSE(file.IsOpen());
    EXPECT_TRUE(log.Lines().empty()); // refused silently

    ASSERT_EQ(file.Open(VirtualFile::ReadMode), 0);
    EXPECT_EQ(Contents(file), "hello");
    EXPECT_NE(file.GetBuffer(), file.GetSourceData()); // each open reads a fresh copy
    EXPECT_EQ(file.Write("x", 1), 1);
    EXPECT_EQ(log.Lines(), std::vector<std::string>{ "WARNING. Запись в файл [entry.txt], открытый для чтения." });
    EXPECT_EQ(file.Close(), 0);
    EXPECT_EQ(file.Close(), 0);
    EXPECT_EQ(file.GetBuffer(), nullptr);
}

TEST(FileSystemMemoryFileTest, ClosedFileMeasuresItsSourceSize)
{
    MemoryFile file(String("sized.bin"));
    file.SetSourceData(CopyOf(std::string(300, 'q')), 300);
    EXPECT_EQ(file.GetSize(), 300);
    EXPECT_FALSE(file.IsOpen());

    MemoryFile empty(String("empty.bin"));
    empty.SetSourceData(new uint8_t[0], 0);
    EXPECT_EQ(empty.GetSize(), 0);
    ASSERT_EQ(empty.Open(VirtualFile::ReadMode), 0);
    EXPECT_EQ(empty.Read(nullptr, 0), 0);
    empty.Close();
}

TEST(FileSystemMemoryFileTest, LentDataIsForgottenBeforeTheFileGoes)
{
    static const uint8_t resource[] = { 1, 2, 3 };
    MemoryFile* file = new MemoryFile(String("lent.bin"));
    file->SetSourceData(resource, sizeof resource);
    ASSERT_EQ(file->Open(VirtualFile::ReadMode), 0);
    file->ForgetSourceData();
    delete file; // ASan would report a delete[] of the static bytes
}
