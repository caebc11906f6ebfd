// The input manager without a window system: the key table, delivery order and queue
// growth on managers of the test's own, the process-wide manager through the engine
// lifecycle, and the native side of the platform layer the manager pumps through.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "engine/core/Engine.h"
#include "engine/core/InputManager.h"
#include "engine/core/Platform.h"
#include "engine/core/Pointer.h"
#include "tests/support/LogCapture.h"

using namespace Vorn;

namespace {

struct Delivery {
    std::string handler;
    InputEvent event;
};

// Records what it sees in a list shared with other handlers, so that the order across
// handlers shows; optionally posts one extra event the first time it sees a trigger code.
class RecordingHandler : public InputHandler {
public:
    RecordingHandler(const char* handlerName, std::vector<Delivery>* journal, bool* destroyed = nullptr)
        : InputHandler(String(handlerName)), journal(journal), destroyed(destroyed)
    {
    }
    ~RecordingHandler() override
    {
        if (destroyed)
            *destroyed = true;
    }
    int OnInput(const InputEvent* event) override
    {
        // Posting before reading the event: a record moved by the post must not be
        // what the handler is still looking at.
        if (poster && event->code == triggerCode && !posted) {
            posted = true;
            poster->PostEvent(InputEvent{ 0, 2, 777, 0 });
        }
        journal->push_back({ std::string(GetName().GetBuffer()), *event });
        return 0;
    }

    InputManager* poster = nullptr;
    int32_t triggerCode = -1;

private:
    std::vector<Delivery>* journal;
    bool* destroyed;
    bool posted = false;
};

InputEvent KeyPress(int32_t code)
{
    return InputEvent{ 0, 1, code, 0 };
}

std::vector<std::string> HandlerSequence(const std::vector<Delivery>& journal)
{
    std::vector<std::string> names;
    for (const Delivery& delivery : journal)
        names.push_back(delivery.handler);
    return names;
}

// The engine key codes as the keyboard layout defines them, written out independently of
// the engine's own table.
std::map<int, int32_t> ExpectedKeyCodes()
{
    std::map<int, int32_t> codes;
    for (int i = 0; i <= 9; ++i)
        codes[0x30 + i] = i;
    for (int i = 0; i < 26; ++i)
        codes[0x41 + i] = 10 + i;
    for (int i = 0; i < 12; ++i)
        codes[0x70 + i] = 50 + i;
    for (int i = 0; i <= 9; ++i)
        codes[0x60 + i] = 74 + i;
    const std::pair<int, int32_t> singles[] = {
        { 0x6B, 36 }, { 0xDE, 37 }, { 0x08, 38 }, { 0xDC, 39 }, { 0x14, 40 }, { 0xBC, 41 }, { 0x2E, 42 },
        { 0x6F, 43 }, { 0xBE, 44 }, { 0x28, 45 }, { 0x23, 46 }, { 0x0D, 47 }, { 0xBB, 48 }, { 0x1B, 49 },
        { 0xC0, 62 }, { 0x24, 63 }, { 0x2D, 64 }, { 0xDB, 65 }, { 0xA2, 66 }, { 0x25, 67 }, { 0xA4, 68 },
        { 0xA0, 69 }, { 0xBD, 70 }, { 0x6A, 71 }, { 0x22, 72 }, { 0x90, 73 }, { 0x6E, 84 }, { 0x6D, 85 },
        { 0x13, 86 }, { 0x21, 87 }, { 0x2C, 88 }, { 0xDD, 89 }, { 0xA3, 90 }, { 0x27, 91 }, { 0xA5, 92 },
        { 0xA1, 93 }, { 0x91, 94 }, { 0xBA, 95 }, { 0xBF, 96 }, { 0x20, 97 }, { 0x09, 98 }, { 0x26, 99 },
    };
    for (const auto& single : singles)
        codes[single.first] = single.second;
    return codes;
}

} // namespace

TEST(InputKeyCodes, EveryVirtualKeyMapsAsTheLayoutSays)
{
    const std::map<int, int32_t> expected = ExpectedKeyCodes();
    ASSERT_EQ(expected.size(), 100u);
    for (int virtualKey = -2; virtualKey <= 0x1FF; ++virtualKey) {
        const auto row = expected.find(virtualKey);
        const int32_t code = row == expected.end() ? 100 : row->second;
        EXPECT_EQ(KeyCodeFromVirtualKey(virtualKey), code) << "virtual key 0x" << std::hex << virtualKey;
    }
}

TEST(InputKeyCodes, GenericModifiersAndWindowsKeysAreUnmapped)
{
    // Shift, control, alt, left and right Windows key, applications key.
    for (int virtualKey : { 0x10, 0x11, 0x12, 0x5B, 0x5C, 0x5D })
        EXPECT_EQ(KeyCodeFromVirtualKey(virtualKey), 100) << virtualKey;
}

TEST(InputManager, NewestHandlerSeesTheWholeFrameFirst)
{
    std::vector<Delivery> journal;
    InputManager manager;
    ASSERT_TRUE(manager.IsReady());
    ASSERT_EQ(manager.RegisterHandler(new RecordingHandler("older", &journal)), 0);
    ASSERT_EQ(manager.RegisterHandler(new RecordingHandler("newer", &journal)), 0);
    manager.PostEvent(KeyPress(1));
    manager.PostEvent(InputEvent{ 1, 3, 40000, 12 });
    manager.PostEvent(InputEvent{ 2, 4, 0, 0 });

    ASSERT_EQ(manager.ProcessInput(), 0);
    const std::vector<std::string> order = { "newer", "newer", "newer", "older", "older", "older" };
    EXPECT_EQ(HandlerSequence(journal), order);
    // Every field reaches the handler unchanged, in posting order.
    ASSERT_EQ(journal.size(), 6u);
    EXPECT_EQ(journal[1].event.device, 1);
    EXPECT_EQ(journal[1].event.action, 3);
    EXPECT_EQ(journal[1].event.code, 40000);
    EXPECT_EQ(journal[1].event.value, 12);
    EXPECT_EQ(journal[5].event.device, 2);
    EXPECT_EQ(journal[5].event.action, 4);
}

TEST(InputManager, RegistrationRefusesNullAndKeepsADuplicateOnce)
{
    LogCapture log;
    std::vector<Delivery> journal;
    InputManager manager;
    Pointer<RecordingHandler> handler(new RecordingHandler("saver", &journal));

    EXPECT_EQ(manager.RegisterHandler(nullptr), 3);
    EXPECT_TRUE(log.Contains("WARNING. Указатель на обработчик ввода равен 0."));
    EXPECT_EQ(manager.RegisterHandler(handler.Get()), 0);
    EXPECT_EQ(manager.RegisterHandler(handler.Get()), 0);
    EXPECT_TRUE(log.Contains("WARNING. Обработчик ввода [saver] уже зарегестрирован."));
    EXPECT_EQ(manager.GetHandlerCount(), 1);
    EXPECT_EQ(handler->GetReferenceCount(), 2); // ours and the manager's

    manager.PostEvent(KeyPress(5));
    manager.DeliverEvents();
    EXPECT_EQ(journal.size(), 1u);
}

TEST(InputManager, ManagerReleasesItsHandlersWhenDestroyed)
{
    std::vector<Delivery> journal;
    bool destroyed = false;
    {
        InputManager manager;
        manager.RegisterHandler(new RecordingHandler("owned", &journal, &destroyed));
        EXPECT_FALSE(destroyed);
    }
    EXPECT_TRUE(destroyed);
}

TEST(InputManager, BusyFrameGrowsTheQueueOnceAndDeliversEverything)
{
    std::vector<Delivery> journal;
    InputManager manager;
    manager.RegisterHandler(new RecordingHandler("saver", &journal));
    EXPECT_EQ(manager.GetQueueCapacity(), 128);

    for (int frame = 0; frame < 2; ++frame) {
        journal.clear();
        for (int32_t i = 0; i < 200; ++i)
            manager.PostEvent(InputEvent{ 1, 3, i, 200 - i });
        EXPECT_EQ(manager.GetQueuedCount(), 200);
        // The capacity is kept between frames, so the second busy frame does not grow it.
        EXPECT_EQ(manager.GetQueueCapacity(), 256) << "frame " << frame;
        ASSERT_EQ(manager.ProcessInput(), 0);
        ASSERT_EQ(journal.size(), 200u);
        for (int32_t i = 0; i < 200; ++i) {
            EXPECT_EQ(journal[i].event.code, i);
            EXPECT_EQ(journal[i].event.value, 200 - i);
        }
        EXPECT_EQ(manager.GetQueuedCount(), 0);
    }
    EXPECT_EQ(manager.GetQueueCapacity(), 256);
}

TEST(InputManager, EventPostedDuringDeliveryReachesEveryHandlerInTheSameFrame)
{
    std::vector<Delivery> journal;
    InputManager manager;
    manager.RegisterHandler(new RecordingHandler("older", &journal));
    RecordingHandler* newer = new RecordingHandler("newer", &journal);
    newer->poster = &manager;
    newer->triggerCode = 7;
    manager.RegisterHandler(newer);
    // A full queue, so that the post made during delivery has to move the records.
    for (int32_t i = 0; i < 128; ++i)
        manager.PostEvent(KeyPress(i == 0 ? 7 : 1));

    manager.DeliverEvents();
    ASSERT_EQ(journal.size(), 2u * 129u);
    EXPECT_EQ(journal[128].handler, "newer");
    EXPECT_EQ(journal[128].event.code, 777);
    EXPECT_EQ(journal[257].handler, "older");
    EXPECT_EQ(journal[257].event.code, 777);
    EXPECT_EQ(manager.GetQueuedCount(), 0);
}

TEST(InputManager, EventsAreConsumedEvenWithoutHandlers)
{
    std::vector<Delivery> journal;
    InputManager manager;
    manager.PostEvent(KeyPress(3));
    manager.PostEvent(KeyPress(4));
    ASSERT_EQ(manager.ProcessInput(), 0);
    EXPECT_EQ(manager.GetQueuedCount(), 0);

    // A handler registered afterwards never sees the earlier frame.
    manager.RegisterHandler(new RecordingHandler("late", &journal));
    ASSERT_EQ(manager.ProcessInput(), 0);
    EXPECT_TRUE(journal.empty());
}

TEST(InputManager, ProcessWideManagerLivesFromEngineStartToShutdown)
{
    LogCapture log;
    ASSERT_NE(InputManager::GetInstance(), nullptr);

    ASSERT_EQ(Engine::Shutdown(), 0);
    const int stopping = log.IndexOf("INFO. Завершение работы менеджера ввода.");
    EXPECT_GE(stopping, 0);
    EXPECT_EQ(log.IndexOf("INFO. Менеджер ввода завершил работу."), stopping + 1);
    EXPECT_EQ(InputManager::GetInstance(), nullptr);
    EXPECT_EQ(RegisterInputHandler(nullptr), 1);
    EXPECT_EQ(ProcessInput(), 1);
    PostInputEvent(KeyPress(1)); // dropped, not a crash

    log.Clear();
    ASSERT_EQ(Engine::Initialize(), 0);
    const int starting = log.IndexOf("INFO. Инициализация менеджера ввода.");
    EXPECT_GE(starting, 0);
    EXPECT_EQ(log.IndexOf("INFO. Менеджер ввода инициализирован."), starting + 1);
    // Many files include the manager's header; its initialiser is listed once.
    int starts = 0;
    for (const std::string& line : log.Lines())
        starts += line == "INFO. Инициализация менеджера ввода." ? 1 : 0;
    EXPECT_EQ(starts, 1);
    ASSERT_NE(InputManager::GetInstance(), nullptr);
    EXPECT_EQ(InputManager::GetInstance()->GetQueueCapacity(), 128);

    std::vector<Delivery> journal;
    bool destroyed = false;
    EXPECT_EQ(RegisterInputHandler(new RecordingHandler("global", &journal, &destroyed)), 0);
    PostInputEvent(KeyPress(49));
    ASSERT_EQ(ProcessInput(), 0);
    ASSERT_EQ(journal.size(), 1u);
    EXPECT_EQ(journal[0].event.code, 49);

    // Shutdown lets go of the handlers; the engine is left running for the other tests.
    ASSERT_EQ(Engine::Shutdown(), 0);
    EXPECT_TRUE(destroyed);
    ASSERT_EQ(Engine::Initialize(), 0);
}

TEST(PosixPlatform, ResourcesComeFromTheRegisteredTable)
{
    LogCapture log;
    static const uint8_t first[] = { 'R', 'a', 'r', '!' };
    static const uint8_t second[] = { 1, 2 };
    RegisterMediaResource(70134, first, sizeof(first));

    const uint8_t* data = nullptr;
    int32_t size = 0;
    ASSERT_EQ(ReadMediaResource(70134, &data, &size), 0);
    EXPECT_EQ(data, first); // the registered bytes themselves, not a copy
    EXPECT_EQ(size, 4);

    RegisterMediaResource(70134, second, sizeof(second));
    ASSERT_EQ(ReadMediaResource(70134, &data, &size), 0);
    EXPECT_EQ(data, second);
    EXPECT_EQ(size, 2);

    // Missing bytes are not registered.
    RegisterMediaResource(70135, nullptr, 10);
    EXPECT_EQ(ReadMediaResource(70135, &data, &size), 1);
    EXPECT_TRUE(log.Contains("ERROR. Невозможно найти ресурс ID[70135]."));
}

TEST(PosixPlatform, ResourceFailuresAreLogged)
{
    LogCapture log;
    const uint8_t* data = reinterpret_cast<const uint8_t*>("untouched");
    int32_t size = -5;
    EXPECT_EQ(ReadMediaResource(999, &data, &size), 1);
    EXPECT_EQ(log.Lines(), std::vector<std::string>{ "ERROR. Невозможно найти ресурс ID[999]." });
    EXPECT_EQ(size, -5);

    log.Clear();
    EXPECT_EQ(ReadMediaResource(999, nullptr, &size), 3);
    EXPECT_EQ(ReadMediaResource(999, &data, nullptr), 3);
    EXPECT_EQ(log.Lines(), std::vector<std::string>(2, "ERROR. Указатель на данные ресурса равен 0."));
}

TEST(PosixPlatform, WindowsRefuseWithTheirLoggedFailures)
{
    LogCapture log;
    WindowHandle window = nullptr;
    EXPECT_EQ(CreateSystemWindow(&window, String("Dustvale"), nullptr, true, 32, 0, 0, 1024, 768), 1);
    EXPECT_EQ(window, nullptr);
    const std::vector<std::string> created = {
        "INFO. Создание системного окна [Dustvale].",
        "ERROR. Невозможно зарегестрировать класс окна [Dustvale Class].",
    };
    EXPECT_EQ(log.Lines(), created);

    log.Clear();
    EXPECT_EQ(CreateSystemWindow(nullptr, String("Dustvale"), nullptr, false, 32, 0, 0, 640, 480), 3);
    EXPECT_TRUE(log.Contains("ERROR. Указатель на окно равен 0."));

    log.Clear();
    EXPECT_EQ(DestroySystemWindow(nullptr), 0);
    EXPECT_EQ(log.Lines(), std::vector<std::string>{ "WARNING. Указатель на окно равен 0." });
    log.Clear();
    int notAWindow = 0;
    EXPECT_EQ(DestroySystemWindow(&notAWindow), 1);
    EXPECT_EQ(log.Lines(), std::vector<std::string>{ "ERROR. Невозможно удалить системное окно." });
}

TEST(PosixPlatform, ClockPumpAndLibraries)
{
    const double before = GetTimeMs();
    EXPECT_GT(before, 0.0);
    EXPECT_GE(GetTimeMs(), before);
    EXPECT_EQ(PumpMessages(), 0);

    void* library = OpenLibrary(String("libm.so.6"));
    ASSERT_NE(library, nullptr);
    EXPECT_NE(FindLibrarySymbol(library, String("cos")), nullptr);
    EXPECT_EQ(FindLibrarySymbol(library, String("NoSuchSymbolAnywhere")), nullptr);
    EXPECT_TRUE(CloseLibrary(library));

    EXPECT_EQ(OpenLibrary(String("")), nullptr);
    EXPECT_EQ(OpenLibrary(String("/no/such/library.so")), nullptr);
    EXPECT_EQ(FindLibrarySymbol(nullptr, String("cos")), nullptr);
    EXPECT_FALSE(CloseLibrary(nullptr));
}
