#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <string>
#include <vector>

#include <dlfcn.h>
#include <unistd.h>

#include "engine/core/Pointer.h"
#include "engine/resources/Codec.h"
#include "engine/resources/CodecManager.h"
#include "engine/resources/FileManager.h"
#include "engine/resources/Module.h"
#include "engine/resources/ModuleManager.h"
#include "engine/resources/Rar2FileCodec.h"
#include "engine/resources/VirtualDirectory.h"
#include "engine/resources/VirtualFile.h"
#include "tests/support/LogCapture.h"
#include "tests/support/SampleClasses.h"
#include "tests/support/TempDirectory.h"

using namespace Vorn;

namespace {

class FixtureCodec : public Codec {
public:
    FixtureCodec(const char* codecName, std::initializer_list<const char*> accepted) : Codec(String(codecName))
    {
        for (const char* extension : accepted)
            AddExtension(String(extension));
    }
};

int fixtureCodecsMade = 0;

int CreateFixtureCodec(Codec** codec)
{
    ++fixtureCodecsMade;
    *codec = new FixtureCodec("FixtureCodec", { "fixture" });
    return 0;
}

int FailToCreateCodec(Codec**) { return 1; }
int Succeed() { return 0; }
int Fail() { return 1; }

// A module of the test's own, registered once for the whole program (registrations last
// until the engine shuts down).
Module* ProvideModule(const char* moduleName, CreateCodecFunction create)
{
    if (Module* registered = ModuleManager::FindModule(String(moduleName)))
        return registered;
    Pointer<StaticModule> module = new StaticModule(String(moduleName));
    module->AddFunction(String("Initialize"), &Succeed);
    module->AddFunction(String("Shutdown"), &Succeed);
    if (create)
        module->AddFunction(String("CreateCodec"), create);
    return ModuleManager::RegisterModule(module.Get()) == 0 ? module.Get() : nullptr;
}

Codec* LoadedCodec(const char* codecName)
{
    Codec* codec = nullptr;
    EXPECT_EQ(CodecManager::LoadCodec(String(codecName), &codec), 0) << codecName;
    return codec;
}

std::string Text(const String& text)
{
    return std::string(text.GetBuffer(), static_cast<size_t>(text.GetLength()));
}

} // namespace

// --- modules -------------------------------------------------------------------------

TEST(ModuleManagerTest, LinkedModulesAreRegisteredByTheEngineStartWithTheirEntryPoints)
{
    struct Case {
        const char* name;
        const char* factory;
    };
    const Case cases[] = {
        { "DirectX9", "CreateRenderer" },     { "BMPImageCodec", "CreateCodec" }, { "JPGImageCodec", "CreateCodec" },
        { "TGAImageCodec", "CreateCodec" },   { "CUBEImageCodec", "CreateCodec" }, { "STRSceneCodec", "CreateCodec" },
        { "RAR2FileCodec", "CreateCodec" },
    };
    LogCapture log;
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        Module* module = ModuleManager::FindModule(String(test.name));
        ASSERT_NE(module, nullptr);
        EXPECT_EQ(Text(module->GetName()), test.name);
        ModuleFunction initialize = nullptr;
        ModuleFunction shutdown = nullptr;
        void* factory = nullptr;
        ASSERT_EQ(FindFunction(*module, &initialize, String("Initialize")), 0);
        ASSERT_EQ(FindFunction(*module, &shutdown, String("Shutdown")), 0);
        EXPECT_EQ(module->FindSymbol(&factory, String(test.factory)), 0);
        EXPECT_NE(factory, nullptr);
        EXPECT_EQ(initialize(), 0);
        EXPECT_EQ(shutdown(), 0);
        Module* loaded = nullptr;
        EXPECT_EQ(ModuleManager::LoadModule(String(test.name), &loaded), 0);
        EXPECT_EQ(loaded, module);
    }
    EXPECT_TRUE(log.Lines().empty()); // finding registered modules loads and logs nothing
}

TEST(ModuleManagerTest, RegisteringASecondDirectX9Fails)
{
    Pointer<Module> duplicate = new StaticModule(String("DirectX9"));
    Module* original = ModuleManager::FindModule(String("DirectX9"));
    LogCapture log;
    EXPECT_EQ(ModuleManager::RegisterModule(duplicate.Get()), 1);
    EXPECT_EQ(ModuleManager::RegisterModule(nullptr), 3);
    const std::vector<std::string> expected = {
        "WARNING. Модуль с именем [DirectX9] уже зарегестрирован.",
        "WARNING. Указатель на модуль равен 0 при регистрации.",
    };
    EXPECT_EQ(log.Lines(), expected);
    EXPECT_EQ(ModuleManager::FindModule(String("DirectX9")), original);
    EXPECT_EQ(duplicate->GetReferenceCount(), 1); // the table took no reference
}

TEST(ModuleManagerTest, StaticSymbolLookupFailuresAreReported)
{
    Module* module = ModuleManager::FindModule(String("DirectX9"));
    ASSERT_NE(module, nullptr);
    void* symbol = nullptr;
    LogCapture log;
    EXPECT_EQ(module->FindSymbol(&symbol, String("CreateCodec")), 1);
    EXPECT_EQ(module->FindSymbol(nullptr, String("Initialize")), 3);
    const std::vector<std::string> expected = {
        "WARNING. Невозможно найти символ [CreateCodec] в модуле [DirectX9].",
        "WARNING. Указатель на символ [Initialize] равен 0.",
    };
    EXPECT_EQ(log.Lines(), expected);
}

TEST(ModuleManagerTest, DestroyingAModuleRunsItsShutdown)
{
    struct Case {
        const char* label;
        ModuleFunction shutdown; // null: no "Shutdown" entry point
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        { "succeeding", &Succeed, {} },
        { "failing", &Fail, { "ERROR. Неудачно завершение работы модуля." } },
        { "missing",
          nullptr,
          { "WARNING. Невозможно найти символ [Shutdown] в модуле [Ephemeral].",
            "WARNING. В модуле не найдена функция завершения работы модуля [Ephemeral]." } },
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.label);
        StaticModule* module = new StaticModule(String("Ephemeral"));
        if (test.shutdown)
            module->AddFunction(String("Shutdown"), test.shutdown);
        LogCapture log;
        delete module;
        EXPECT_EQ(log.Lines(), test.expected);
    }
}

TEST(ModuleManagerTest, AModuleWithoutALibraryFileIsNotLoaded)
{
    Module* module = ModuleManager::FindModule(String("DirectX9")); // any non-null value
    LogCapture log;
    EXPECT_EQ(ModuleManager::LoadModule(String("NoSuchModule"), &module), 3);
    EXPECT_EQ(module, nullptr);
    const std::vector<std::string> expected = {
        "INFO. Загружается модуль [NoSuchModule].",
        "INFO. Загружается модуль [NoSuchModule].",
        "WARNING. Не найден файл модуля [NoSuchModule.dll].",
        "ERROR. Невозможно загрузить модуль [NoSuchModule].",
    };
    EXPECT_EQ(log.Lines(), expected);
    EXPECT_EQ(ModuleManager::FindModule(String("NoSuchModule")), nullptr);
}

// A real shared library (the C maths library, already loaded into the process) reached
// through the virtual file system as "Mathlib.dll".
class ModuleManagerDynamicTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Dl_info info{};
        double (*cosine)(double) = &std::cos;
        ASSERT_NE(dladdr(reinterpret_cast<void*>(cosine), &info), 0);
        ASSERT_EQ(symlink(info.dli_fname, temp.File("Mathlib.dll").c_str()), 0);
        folder = new VirtualDirectory(String(temp.Path().c_str()), FileManager::GetRoot());
        folder->AttachFile(new VirtualFile(String("Mathlib.dll")));
    }
    void TearDown() override { delete folder; }

    VornTest::TempDirectory temp;
    VirtualDirectory* folder = nullptr;
};

TEST_F(ModuleManagerDynamicTest, LibraryLoadsFindsSymbolsAndUnloads)
{
    DynamicModule* module = nullptr;
    ASSERT_EQ(LoadDynamicModule(&module, String("Mathlib")), 0);
    Pointer<Module> hold(module);
    ASSERT_NE(module->GetLibrary(), nullptr);
    double (*cosine)(double) = nullptr;
    ASSERT_EQ(FindFunction(*module, &cosine, String("cos")), 0);
    EXPECT_DOUBLE_EQ(cosine(0.0), 1.0);

    LogCapture log;
    void* symbol = nullptr;
    EXPECT_EQ(module->FindSymbol(&symbol, String("NoSuchSymbol")), 1);
    EXPECT_EQ(module->FindSymbol(nullptr, String("cos")), 3);
    EXPECT_EQ(UnloadDynamicModule(module), 0);
    EXPECT_EQ(module->GetLibrary(), nullptr);
    EXPECT_EQ(UnloadDynamicModule(nullptr), 3);
    const std::vector<std::string> expected = {
        "WARNING. Символ [NoSuchSymbol] не найден в модуле [Mathlib].",
        "WARNING. Указатель при поиске символа [cos] равен 0.",
        "INFO. Выгружается модуль [Mathlib].",
        "WARNING. Указатель на модуль [] равен 0.",
    };
    EXPECT_EQ(log.Lines(), expected);
    EXPECT_EQ(LoadDynamicModule(nullptr, String("Mathlib")), 3);
}

TEST_F(ModuleManagerDynamicTest, LoadModuleRegistersTheLibraryWithoutAnInitializer)
{
    if (ModuleManager::FindModule(String("Mathlib")))
        GTEST_SKIP() << "registered by an earlier repetition";
    LogCapture log;
    Module* module = nullptr;
    ASSERT_EQ(ModuleManager::LoadModule(String("Mathlib"), &module), 0);
    EXPECT_EQ(ModuleManager::FindModule(String("Mathlib")), module);
    EXPECT_TRUE(log.Contains("WARNING. В модуле не найдена функция инициализации модуля [Mathlib]."));
}

TEST(ModuleManagerTest, UnloadableLibraryFileIsRefused)
{
    VornTest::TempDirectory temp;
    temp.Write("Broken.dll", "not a library");
    VirtualDirectory* folder = new VirtualDirectory(String(temp.Path().c_str()), FileManager::GetRoot());
    folder->AttachFile(new VirtualFile(String("Broken.dll")));
    LogCapture log;
    DynamicModule* module = nullptr;
    EXPECT_EQ(LoadDynamicModule(&module, String("Broken")), 1);
    EXPECT_EQ(module, nullptr);
    EXPECT_TRUE(log.Contains("WARNING. Загрузка модуля [Broken] неудачна."));
    delete folder;
}

// --- codecs --------------------------------------------------------------------------

TEST(ModuleManagerCodecTest, LoadCodecNeedsARegisteredModuleWithAFactory)
{
    ASSERT_NE(ProvideModule("FailingFactory", &FailToCreateCodec), nullptr);
    struct Case {
        const char* name;
        int status;
        const char* message;
    };
    const Case cases[] = {
        { "NoSuchCodec", 3, "ERROR. Не найден модуль для кодека [NoSuchCodec]." },
        { "DirectX9", 3, "ERROR. В модуле не найдена функция создания кодека [DirectX9]." },
        { "FailingFactory", 1, "ERROR. Создание кодека [FailingFactory] неудачно." },
    };
    Codec* const anyCodec = LoadedCodec("RAR2FileCodec");
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        Codec* codec = anyCodec; // the slot is cleared on failure
        LogCapture log;
        EXPECT_EQ(CodecManager::LoadCodec(String(test.name), &codec), test.status);
        EXPECT_EQ(codec, nullptr);
        EXPECT_TRUE(log.Contains(std::string("INFO. Загружается кодек [") + test.name + "]."));
        EXPECT_TRUE(log.Contains(test.message));
        EXPECT_EQ(CodecManager::FindCodec(String(test.name)), nullptr);
    }
}

TEST(ModuleManagerCodecTest, LoadingACodecTwiceMakesOneAndLogsOnce)
{
    Module* module = ProvideModule("FixtureCodec", &CreateFixtureCodec);
    ASSERT_NE(module, nullptr);
    const bool fresh = CodecManager::FindCodec(String("FixtureCodec")) == nullptr;
    const int madeBefore = fixtureCodecsMade;
    LogCapture log;
    Codec* first = LoadedCodec("FixtureCodec");
    ASSERT_NE(first, nullptr);
    if (fresh) {
        EXPECT_EQ(log.Lines(), std::vector<std::string>{ "INFO. Загружается кодек [FixtureCodec]." });
    }
    log.Clear();
    EXPECT_EQ(LoadedCodec("FixtureCodec"), first);
    EXPECT_EQ(CodecManager::LoadCodec(String("FixtureCodec")), 0); // the out slot is optional
    EXPECT_TRUE(log.Lines().empty());
    EXPECT_EQ(fixtureCodecsMade, madeBefore + (fresh ? 1 : 0));
    EXPECT_EQ(first->GetModule(), module);
    EXPECT_EQ(first->GetKind(), UnknownCodecKind);
}

TEST(ModuleManagerCodecTest, RegisterCodecRefusesNullAndTakenNames)
{
    Codec* rar = LoadedCodec("RAR2FileCodec");
    Pointer<Codec> impostor = new Rar2FileCodec();
    LogCapture log;
    EXPECT_EQ(CodecManager::RegisterCodec(impostor.Get()), 1);
    EXPECT_EQ(CodecManager::RegisterCodec(nullptr), 3);
    const std::vector<std::string> expected = {
        "WARNING. Кодек с именем [RAR2FileCodec] уже зарегестрирован.",
        "WARNING. Указатель на кодек равен 0 при регистрации.",
    };
    EXPECT_EQ(log.Lines(), expected);
    EXPECT_EQ(CodecManager::FindCodec(String("RAR2FileCodec")), rar);
}

TEST(ModuleManagerCodecTest, ExtensionsMatchByteForByte)
{
    const FixtureCodec jpeg("JPGImageCodec", { "JPG", "jpg", "Jpg", "JPEG", "jpeg", "Jpeg" });
    const std::pair<const char*, int> cases[] = {
        { "photo.Jpeg", 0 }, { "photo.jpg", 0 }, { "a.tar.JPG", 0 }, { "photo.jPG", 1 },
        { "photo.JPEg", 1 }, { "photo", 1 },     { "photo.", 1 },    { "jpg", 1 },
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.first);
        const VirtualFile file(String(test.first));
        EXPECT_EQ(jpeg.Accepts(&file), test.second);
    }
    LogCapture log;
    EXPECT_EQ(jpeg.Accepts(nullptr), 3);
    EXPECT_EQ(log.Lines(), std::vector<std::string>{ "WARNING. Указатель на файл равен 0 при проверке кодеком [JPGImageCodec]." });
}

TEST(ModuleManagerCodecTest, FindCodecForFileGoesByExtension)
{
    Codec* rar = LoadedCodec("RAR2FileCodec");
    Codec* scene = LoadedCodec("STRSceneCodec");
    ASSERT_NE(rar, nullptr);
    ASSERT_NE(scene, nullptr);
    EXPECT_EQ(rar->GetKind(), FileCodecKind);
    EXPECT_EQ(scene->GetKind(), SceneCodecKind);
    const std::pair<const char*, Codec*> cases[] = {
        { "Media.rar2", rar }, { "X.RAR2", rar },     { "X.Rar2", rar },     { "X.rAr2", nullptr },
        { "Main.STR", scene }, { "Main.str", scene }, { "Main.sTR", nullptr }, { "Main", nullptr },
        { "Main.", nullptr },
    };
    for (const auto& test : cases) {
        SCOPED_TRACE(test.first);
        const VirtualFile file(String(test.first));
        EXPECT_EQ(CodecManager::FindCodecForFile(&file), test.second);
    }
    EXPECT_EQ(CodecManager::FindCodecForFile(nullptr), nullptr);
}

TEST(ModuleManagerCodecTest, FileCodecSaveLeavesAnEmptyFile)
{
    FileCodec* codec = dynamic_cast<FileCodec*>(LoadedCodec("RAR2FileCodec"));
    ASSERT_NE(codec, nullptr);
    VornTest::TempDirectory temp;
    temp.Write("Out.rar2", "previous contents");
    VirtualDirectory folder(String(temp.Path().c_str()));
    VirtualFile* archive = new VirtualFile(String("Out.rar2"));
    folder.AttachFile(archive);
    VirtualDirectory tree(String("tree"));
    new VirtualDirectory(String("Textures"), &tree);

    EXPECT_EQ(codec->Save(archive, &tree), 0);
    EXPECT_TRUE(temp.Exists("Out.rar2"));
    EXPECT_EQ(temp.Read("Out.rar2"), "");
    EXPECT_FALSE(archive->IsOpen());

    EXPECT_EQ(codec->Save(nullptr, &tree), 1);
    EXPECT_EQ(codec->Save(archive, nullptr), 1);
    VirtualDirectory nowhere(String("/nonexistent-vorn-folder"));
    VirtualFile* unwritable = new VirtualFile(String("Out.rar2"));
    nowhere.AttachFile(unwritable);
    EXPECT_EQ(codec->Save(unwritable, &tree), 1);
}

// --- scenes through the codecs -------------------------------------------------------

class ModuleManagerSceneTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(LoadedCodec("STRSceneCodec"), nullptr); }

    VirtualFile* AddFile(const char* fileName)
    {
        VirtualFile* file = new VirtualFile(String(fileName));
        folder.AttachFile(file);
        return file;
    }

    VornTest::TempDirectory temp;
    VirtualDirectory folder{ String(temp.Path().c_str()) };
};

TEST_F(ModuleManagerSceneTest, SavedSceneLoadsBackThroughItsCodec)
{
    Pointer<SampleNode> saved = new SampleNode(String("Root"));
    saved->AddChild(new SampleNode(String("Child")));
    VirtualFile* file = AddFile("Main.STR");
    SceneCodec* codec = dynamic_cast<SceneCodec*>(CodecManager::FindCodecForFile(file));
    ASSERT_NE(codec, nullptr);
    ASSERT_EQ(codec->Save(file, saved.Get()), 0);
    EXPECT_GT(file->GetSize(), 12);

    Pointer<Object> loaded;
    ASSERT_EQ(CodecManager::LoadSceneFromFile(file, loaded), 0);
    ASSERT_NE(loaded.Get(), nullptr);
    ASSERT_TRUE(loaded->IsKindOf(SampleNode::TYPE));
    EXPECT_EQ(Text(loaded->GetName()), "Root");
    SampleNode* root = static_cast<SampleNode*>(loaded.Get());
    ASSERT_EQ(root->GetChildCount(), 1);
    EXPECT_EQ(Text(root->GetChild(0)->GetName()), "Child");
    EXPECT_FALSE(file->IsOpen());
}

TEST_F(ModuleManagerSceneTest, UnloadableScenesAreRefusedWithTheirMessage)
{
    Pointer<SampleNode> saved = new SampleNode(String("Root"));
    VirtualFile* whole = AddFile("Whole.STR");
    ASSERT_EQ(dynamic_cast<SceneCodec*>(CodecManager::FindCodecForFile(whole))->Save(whole, saved.Get()), 0);
    temp.Write("Cut.STR", temp.Read("Whole.STR").substr(0, 20));
    temp.Write("Media.rar2", "not a scene");
    VirtualFile* cut = AddFile("Cut.STR");
    VirtualFile* archive = AddFile("Media.rar2");
    VirtualFile* missing = AddFile("Missing.STR");

    struct Case {
        VirtualFile* file;
        int status;
        std::string message;
    };
    const Case cases[] = {
        { cut, 1, "ERROR. Неудачна загрузка сцены из файла [" + temp.File("Cut.STR") + "]." },
        { missing, 1, "ERROR. Неудачна загрузка сцены из файла [" + temp.File("Missing.STR") + "]." },
        { archive, 3, "WARNING. Не найден кодек для файла [" + temp.File("Media.rar2") + "]." },
        { nullptr, 3, "WARNING. Указатель на файл или сцену равен 0." },
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.message);
        LogCapture log;
        Pointer<Object> loaded = saved.Get();
        EXPECT_EQ(CodecManager::LoadSceneFromFile(test.file, loaded), test.status);
        EXPECT_EQ(loaded.Get(), nullptr);
        EXPECT_TRUE(log.Contains(test.message));
        if (test.file) {
            EXPECT_FALSE(test.file->IsOpen());
        }
    }
}
