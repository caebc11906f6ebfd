// The engine window against real Win32: windows made by CreateSystemWindow (on the
// desktop, inside a parent, full screen), real messages sent and posted to them, and the
// input events a registered handler receives from ProcessInput. Also the "MEDIADATA"
// resources of this test program (EngineWindowTest.rc).
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "engine/core/Engine.h"
#include "engine/core/InputManager.h"
#include "engine/core/Log.h"
#include "engine/core/Platform.h"

using namespace Vorn;

namespace Vorn {

bool operator==(const InputEvent& a, const InputEvent& b)
{
    return a.device == b.device && a.action == b.action && a.code == b.code && a.value == b.value;
}

} // namespace Vorn

namespace {

class CaptureSink : public LogSink {
public:
    CaptureSink() : LogSink(String("capture")) {}
    void Output(LogLevel level, const String& message) override
    {
        static const char* const words[] = { "INFO. ", "WARNING. ", "ERROR. ", "CRITICAL ERROR. " };
        const int index = static_cast<int>(level);
        std::string line = (index >= 0 && index <= 3) ? words[index] : "UNKNOWN. ";
        line.append(message.GetBuffer(), static_cast<size_t>(message.GetLength()));
        lines.push_back(line);
    }
    bool Contains(const std::string& line) const
    {
        for (const std::string& candidate : lines)
            if (candidate == line)
                return true;
        return false;
    }

    std::vector<std::string> lines;
};

class RecordingHandler : public InputHandler {
public:
    RecordingHandler() : InputHandler(String("window test")) {}
    int OnInput(const InputEvent* event) override
    {
        events.push_back(*event);
        return 0;
    }

    std::vector<InputEvent> events;
};

// Registered once for the whole program: handlers stay until the engine shuts down.
RecordingHandler* recorder = nullptr;
CaptureSink* capture = nullptr;

class EngineEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        capture = new CaptureSink();
        capture->AddReference();
        RegisterSink(capture);
        ASSERT_EQ(Engine::Initialize(), 0);
        recorder = new RecordingHandler();
        ASSERT_EQ(RegisterInputHandler(recorder), 0);
    }
    void TearDown() override
    {
        EXPECT_EQ(Engine::Shutdown(), 0);
        UnregisterSink(capture);
        capture->ReleaseReference();
    }
};

[[maybe_unused]] ::testing::Environment* const engineEnvironment =
    ::testing::AddGlobalTestEnvironment(new EngineEnvironment);

std::string Describe(const std::vector<InputEvent>& events)
{
    std::string text;
    for (const InputEvent& event : events)
        text += "(" + std::to_string(event.device) + "," + std::to_string(event.action) + "," +
                std::to_string(event.code) + "," + std::to_string(event.value) + ") ";
    return text;
}

bool HasStyle(HWND window, int which, DWORD bits)
{
    return (static_cast<DWORD>(GetWindowLongA(window, which)) & bits) != 0;
}

bool ClassExists(const char* className)
{
    WNDCLASSA windowClass{};
    return GetClassInfoA(GetModuleHandleA(nullptr), className, &windowClass) != 0;
}

DEVMODEA CurrentMode()
{
    DEVMODEA mode{};
    mode.dmSize = sizeof(mode);
    EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &mode);
    return mode;
}

// Whatever the window system says on its own (activation, a pointer over the window)
// is taken in and forgotten, so that a test sees only the messages it sends.
void Settle()
{
    for (int i = 0; i < 5; ++i) {
        ProcessInput();
        Sleep(10);
    }
    ProcessInput();
    recorder->events.clear();
    capture->lines.clear();
}

constexpr InputEvent windowClosed{ 2, 4, 0, 0 };

class EngineWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The pointer stays off the window, so the system sends no moves of its own.
        SetCursorPos(2, 2);
        Settle();
    }
    void TearDown() override
    {
        if (window && IsWindow(static_cast<HWND>(window)))
            DestroySystemWindow(window);
        else if (ClassExists(className.c_str()))
            DestroySystemWindow(nullptr);
        if (parent)
            DestroyWindow(parent);
        Settle();
    }

    void CreateDesktopWindow()
    {
        ASSERT_EQ(CreateSystemWindow(&window, String(windowName.c_str()), nullptr, false, 32, 200, 150, 320, 240), 0);
        ASSERT_NE(window, nullptr);
        Settle();
    }

    HWND Window() const { return static_cast<HWND>(window); }

    std::string windowName = "Dustvale Test";
    std::string className = "Dustvale Test Class";
    WindowHandle window = nullptr;
    HWND parent = nullptr;
};

} // namespace

TEST_F(EngineWindow, DesktopWindowIsAVisibleWindowOfTheNamedClass)
{
    ASSERT_EQ(CreateSystemWindow(&window, String(windowName.c_str()), nullptr, false, 32, 200, 150, 320, 240), 0);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(capture->lines, std::vector<std::string>{ "INFO. Создание системного окна [Dustvale Test]." });
    EXPECT_TRUE(IsWindowVisible(Window()));
    EXPECT_TRUE(ClassExists(className.c_str()));
    char title[64] = {};
    GetWindowTextA(Window(), title, sizeof(title));
    EXPECT_STREQ(title, "Dustvale Test");
    EXPECT_TRUE(HasStyle(Window(), GWL_EXSTYLE, WS_EX_OVERLAPPEDWINDOW));
    EXPECT_FALSE(HasStyle(Window(), GWL_STYLE, WS_CHILD | WS_POPUP));

    // Only one engine window class at a time: a second creation cannot register it.
    capture->lines.clear();
    WindowHandle second = nullptr;
    EXPECT_EQ(CreateSystemWindow(&second, String(windowName.c_str()), nullptr, false, 32, 0, 0, 100, 100), 1);
    EXPECT_EQ(second, nullptr);
    EXPECT_TRUE(capture->Contains("ERROR. Невозможно зарегестрировать класс окна [Dustvale Test Class]."));

    const DEVMODEA before = CurrentMode();
    capture->lines.clear();
    EXPECT_EQ(DestroySystemWindow(window), 0);
    EXPECT_TRUE(capture->lines.empty()) << capture->lines.front();
    EXPECT_FALSE(IsWindow(Window()));
    EXPECT_FALSE(ClassExists(className.c_str()));
    const DEVMODEA after = CurrentMode();
    EXPECT_EQ(after.dmPelsWidth, before.dmPelsWidth);
    EXPECT_EQ(after.dmPelsHeight, before.dmPelsHeight);
    // Destruction said so itself.
    ASSERT_EQ(ProcessInput(), 0);
    EXPECT_EQ(recorder->events, std::vector<InputEvent>(1, windowClosed)) << Describe(recorder->events);
}

TEST_F(EngineWindow, KeyboardAndMouseMessagesBecomeEvents)
{
    CreateDesktopWindow();
    struct Message {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    const Message posted[] = {
        { WM_KEYDOWN, 'A', 0x001E0001 },
        { WM_KEYUP, 'A', static_cast<LPARAM>(0xC01E0001u) },
        { WM_KEYDOWN, VK_ESCAPE, 0x00010001 },
        { WM_KEYDOWN, VK_LWIN, 0x015B0001 },   // no engine code
        { WM_KEYDOWN, VK_SHIFT, 0x002A0001 },  // only the sided variants have codes
        { WM_KEYDOWN, VK_RSHIFT, 0x00360001 },
        { WM_MOUSEMOVE, 0, MAKELPARAM(17, 33) },
        { WM_MOUSEMOVE, 0, MAKELPARAM(40000, 65535) }, // a captured mouse left of and above
        { WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(1, 1) },
        { WM_LBUTTONUP, 0, MAKELPARAM(1, 1) },
        { WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(1, 1) },
        { WM_RBUTTONUP, 0, MAKELPARAM(1, 1) },
        { WM_MBUTTONDOWN, MK_MBUTTON, MAKELPARAM(1, 1) },
        { WM_MBUTTONUP, 0, MAKELPARAM(1, 1) },
        { WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), MAKELPARAM(210, 160) }, // nothing
    };
    for (const Message& message : posted)
        ASSERT_TRUE(PostMessageA(Window(), message.message, message.wParam, message.lParam));
    // System keys produce nothing; these go straight to the procedure (Alt held down).
    SendMessageA(Window(), WM_SYSKEYDOWN, 'X', 0x20000001);
    SendMessageA(Window(), WM_SYSKEYUP, 'X', static_cast<LPARAM>(0xE0000001u));
    SendMessageA(Window(), WM_SYSKEYDOWN, VK_SHIFT, 0x20000001);
    // The procedure queues; only ProcessInput delivers.
    EXPECT_TRUE(recorder->events.empty()) << Describe(recorder->events);

    ASSERT_EQ(ProcessInput(), 0);
    const std::vector<InputEvent> expected = {
        { 0, 1, 10, 0 }, { 0, 2, 10, 0 }, { 0, 1, 49, 0 }, { 0, 1, 100, 0 }, { 0, 1, 100, 0 }, { 0, 1, 93, 0 },
        { 1, 3, 17, 33 }, { 1, 3, 40000, 65535 }, { 1, 1, 0, 0 }, { 1, 2, 0, 0 }, { 1, 1, 1, 0 }, { 1, 2, 1, 0 },
        { 1, 1, 2, 0 }, { 1, 2, 2, 0 },
    };
    EXPECT_EQ(recorder->events, expected) << Describe(recorder->events);

    // Consumed: the next frame has nothing to deliver.
    recorder->events.clear();
    ASSERT_EQ(ProcessInput(), 0);
    EXPECT_TRUE(recorder->events.empty()) << Describe(recorder->events);
}

TEST_F(EngineWindow, ClosingTheWindowEndsWithCloseEvents)
{
    CreateDesktopWindow();
    ASSERT_TRUE(PostMessageA(Window(), WM_CLOSE, 0, 0));
    ASSERT_EQ(ProcessInput(), 0);
    // The default procedure answers the close by destroying the window, which reports
    // itself as well.
    EXPECT_EQ(recorder->events, std::vector<InputEvent>(2, windowClosed)) << Describe(recorder->events);
    EXPECT_FALSE(IsWindow(Window()));

    // The window is gone, so only the class is left to tear down.
    capture->lines.clear();
    EXPECT_EQ(DestroySystemWindow(nullptr), 0);
    EXPECT_EQ(capture->lines, std::vector<std::string>{ "WARNING. Указатель на окно равен 0." });
    EXPECT_FALSE(ClassExists(className.c_str()));
}

TEST_F(EngineWindow, AltF4IsNoKeyEventButStillCloses)
{
    CreateDesktopWindow();
    SendMessageA(Window(), WM_SYSKEYDOWN, VK_F4, 0x203E0001);
    ASSERT_EQ(ProcessInput(), 0);
    EXPECT_EQ(recorder->events, std::vector<InputEvent>(2, windowClosed)) << Describe(recorder->events);
    EXPECT_FALSE(IsWindow(Window()));
}

TEST_F(EngineWindow, DestroyingAWindowTwiceFailsAndKeepsTheClass)
{
    CreateDesktopWindow();
    ASSERT_TRUE(DestroyWindow(Window()));
    capture->lines.clear();
    EXPECT_EQ(DestroySystemWindow(window), 1);
    EXPECT_EQ(capture->lines, std::vector<std::string>{ "ERROR. Невозможно удалить системное окно." });
    EXPECT_TRUE(ClassExists(className.c_str()));
}

TEST_F(EngineWindow, ChildFillsItsParentsClientArea)
{
    WNDCLASSA parentClass{};
    parentClass.lpfnWndProc = DefWindowProcA;
    parentClass.hInstance = GetModuleHandleA(nullptr);
    parentClass.lpszClassName = "EngineWindowTestParent";
    RegisterClassA(&parentClass);
    parent = CreateWindowExA(0, "EngineWindowTestParent", "Parent", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 300, 300, 400,
                             300, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(parent, nullptr);

    windowName = "Preview";
    className = "Preview Class";
    ASSERT_EQ(CreateSystemWindow(&window, String("Preview"), parent, false, 32, 0, 0, 0, 0), 0);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(GetParent(Window()), parent);
    EXPECT_TRUE(HasStyle(Window(), GWL_STYLE, WS_CHILD));
    EXPECT_TRUE(IsWindowVisible(Window()));
    RECT parentArea{};
    RECT childArea{};
    GetClientRect(parent, &parentArea);
    GetClientRect(Window(), &childArea);
    EXPECT_EQ(childArea.right, parentArea.right);
    EXPECT_EQ(childArea.bottom, parentArea.bottom);
    Settle();

    ASSERT_TRUE(PostMessageA(Window(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(3, 4)));
    ASSERT_EQ(ProcessInput(), 0);
    const std::vector<InputEvent> rightPress = { { 1, 1, 1, 0 } };
    EXPECT_EQ(recorder->events, rightPress) << Describe(recorder->events);

    EXPECT_EQ(DestroySystemWindow(window), 0);
    EXPECT_FALSE(IsWindow(Window()));
    EXPECT_TRUE(IsWindow(parent));
    EXPECT_FALSE(ClassExists("Preview Class"));
    UnregisterClassA("EngineWindowTestParent", GetModuleHandleA(nullptr));
}

TEST_F(EngineWindow, ChildOfAMissingParentFailsAndUnregistersTheClass)
{
    ASSERT_EQ(CreateSystemWindow(&window, String("Orphan"), reinterpret_cast<WindowHandle>(0x4321), false, 32, 0, 0, 0,
                                 0),
              1);
    EXPECT_EQ(window, nullptr);
    const std::vector<std::string> expected = {
        "INFO. Создание системного окна [Orphan].",
        "WARNING. Указатель на окно равен 0.",
        "ERROR. Невозможно создать окно [Orphan].",
    };
    EXPECT_EQ(capture->lines, expected);
    EXPECT_FALSE(ClassExists("Orphan Class"));
}

TEST_F(EngineWindow, NullPlacesAndNullHandles)
{
    EXPECT_EQ(CreateSystemWindow(nullptr, String("Nowhere"), nullptr, false, 32, 0, 0, 100, 100), 3);
    EXPECT_TRUE(capture->Contains("ERROR. Указатель на окно равен 0."));
    EXPECT_FALSE(ClassExists("Nowhere Class"));

    // With no class registered, the null destruction still warns, then fails to unregister.
    capture->lines.clear();
    EXPECT_EQ(DestroySystemWindow(nullptr), 1);
    const std::vector<std::string> expected = {
        "WARNING. Указатель на окно равен 0.",
        "ERROR. Невозможно разрегестрировать класс системного окна.",
    };
    EXPECT_EQ(capture->lines, expected);
}

TEST_F(EngineWindow, FullScreenNeedsAListedModeAndLeavesTheDesktopAlone)
{
    // Does the first display device list 1024 x 768 x 32 at the origin?
    DISPLAY_DEVICEA device{};
    device.cb = sizeof(device);
    ASSERT_TRUE(EnumDisplayDevicesA(nullptr, 0, &device, 0));
    bool listed = false;
    DEVMODEA mode{};
    mode.dmSize = sizeof(mode);
    for (DWORD index = 0; EnumDisplaySettingsA(device.DeviceName, index, &mode); ++index)
        listed = listed || (mode.dmPelsWidth == 1024 && mode.dmPelsHeight == 768 && mode.dmBitsPerPel == 32 &&
                            mode.dmPosition.x == 0 && mode.dmPosition.y == 0);

    const DEVMODEA before = CurrentMode();
    windowName = "Full";
    className = "Full Class";
    ASSERT_EQ(CreateSystemWindow(&window, String("Full"), nullptr, true, 32, 0, 0, 1024, 768), 0);
    const DEVMODEA during = CurrentMode();
    EXPECT_EQ(during.dmPelsWidth, before.dmPelsWidth);
    EXPECT_EQ(during.dmPelsHeight, before.dmPelsHeight);
    if (listed) {
        ASSERT_NE(window, nullptr);
        EXPECT_TRUE(HasStyle(Window(), GWL_STYLE, WS_POPUP));
        RECT area{};
        GetWindowRect(Window(), &area);
        EXPECT_EQ(area.left, 0);
        EXPECT_EQ(area.top, 0);
        EXPECT_EQ(area.right, 1024);
        EXPECT_EQ(area.bottom, 768);
        EXPECT_EQ(DestroySystemWindow(window), 0);
    } else {
        EXPECT_EQ(window, nullptr);
        EXPECT_FALSE(ClassExists("Full Class"));
    }
    const DEVMODEA after = CurrentMode();
    EXPECT_EQ(after.dmPelsWidth, before.dmPelsWidth);
    EXPECT_EQ(after.dmPelsHeight, before.dmPelsHeight);
}

TEST_F(EngineWindow, FullScreenWithoutAMatchingModeGivesNoWindow)
{
    windowName = "Odd";
    className = "Odd Class";
    ASSERT_EQ(CreateSystemWindow(&window, String("Odd"), nullptr, true, 32, 0, 0, 1023, 767), 0);
    EXPECT_EQ(window, nullptr);
    const std::vector<std::string> expected = {
        "INFO. Создание системного окна [Odd].",
        "WARNING. Указатель на окно равен 0.",
    };
    EXPECT_EQ(capture->lines, expected);
    EXPECT_FALSE(ClassExists("Odd Class"));
}

TEST(MediaResource, ReadsTheProgramsOwnBytesAndReportsMissingOnes)
{
    capture->lines.clear();
    const uint8_t* data = nullptr;
    int32_t size = 0;
    ASSERT_EQ(ReadMediaResource(500, &data, &size), 0);
    ASSERT_EQ(size, 8);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(data), 8), std::string("Rar!\x1A\x07\x00\xFF", 8));
    // The bytes stay in the program image: a second read gives the same place.
    const uint8_t* again = nullptr;
    ASSERT_EQ(ReadMediaResource(500, &again, &size), 0);
    EXPECT_EQ(again, data);
    EXPECT_TRUE(capture->lines.empty());

    // 501 exists, but with another type.
    for (int32_t id : { 999, 501, 0, -3, 0x10000 + 500 }) {
        capture->lines.clear();
        EXPECT_EQ(ReadMediaResource(id, &data, &size), 1) << id;
        EXPECT_EQ(capture->lines, std::vector<std::string>{ "ERROR. Невозможно найти ресурс ID[" + std::to_string(id) +
                                                             "]." });
    }

    capture->lines.clear();
    EXPECT_EQ(ReadMediaResource(500, nullptr, &size), 3);
    EXPECT_EQ(ReadMediaResource(500, &data, nullptr), 3);
    EXPECT_EQ(capture->lines, std::vector<std::string>(2, "ERROR. Указатель на данные ресурса равен 0."));
}

TEST(Win32Platform, ClockAndLibraries)
{
    const double before = GetTimeMs();
    EXPECT_GT(before, 0.0);
    EXPECT_GE(GetTimeMs(), before);
    EXPECT_EQ(PumpMessages(), 0);

    void* library = OpenLibrary(String("kernel32.dll"));
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(FindLibrarySymbol(library, String("GetTickCount")),
              reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetTickCount")));
    EXPECT_EQ(FindLibrarySymbol(library, String("NoSuchSymbolAnywhere")), nullptr);
    EXPECT_TRUE(CloseLibrary(library));
    EXPECT_EQ(OpenLibrary(String("")), nullptr);
    EXPECT_EQ(OpenLibrary(String("no_such_library_here.dll")), nullptr);
    EXPECT_EQ(FindLibrarySymbol(nullptr, String("GetTickCount")), nullptr);
    EXPECT_FALSE(CloseLibrary(nullptr));
}
