// The engine window on Win32: its class, the display-device checks made before a window
// is created, and the restoring of every attached display's registry mode when it goes.
// Full-screen creation only validates the mode; the graphics device switches the display.
#include "engine/core/Platform.h"

#include <windows.h>

#include <new>

#include "engine/core/Log.h"
#include "engine/core/platform/win32/EngineWindowProc.h"

namespace Vorn {

namespace {

constexpr DWORD primaryDeviceFlag = 4;   // DISPLAY_DEVICE_PRIMARY_DEVICE
constexpr DWORD mirroringDriverFlag = 8; // DISPLAY_DEVICE_MIRRORING_DRIVER
constexpr DWORD testFullScreenFlags = CDS_TEST | CDS_FULLSCREEN; // 6: validate, never switch

// One engine window class at a time: set on creation and unregistered on destruction.
String& WindowClassName()
{
    static String className;
    return className;
}

String ClassNameOf(const String& windowName)
{
    static const char suffix[] = " Class";
    const int32_t suffixLength = static_cast<int32_t>(sizeof(suffix) - 1);
    const int32_t length = windowName.GetLength() + suffixLength;
    char* joined = new (std::nothrow) char[static_cast<size_t>(length)];
    if (!joined)
        return String();
    for (int32_t i = 0; i < windowName.GetLength(); ++i)
        joined[i] = windowName[i];
    for (int32_t i = 0; i < suffixLength; ++i)
        joined[windowName.GetLength() + i] = suffix[i];
    String className(joined, length);
    delete[] joined;
    return className;
}

HINSTANCE ProgramInstance()
{
    return GetModuleHandleA(nullptr);
}

bool RegisterEngineClass(const String& className)
{
    WNDCLASSA windowClass{};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = &EngineWindowProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = ProgramInstance();
    windowClass.hIcon = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = className.GetBuffer();
    return RegisterClassA(&windowClass) != 0;
}

bool FirstDisplayDevice(DISPLAY_DEVICEA* device)
{
    *device = DISPLAY_DEVICEA{};
    device->cb = sizeof(*device);
    return EnumDisplayDevicesA(nullptr, 0, device, 0) != 0;
}

// The primary device's monitor always starts at the origin; any other one sits where its
// current settings place it. A device without current settings has no monitor.
bool MonitorLiesIn(const DISPLAY_DEVICEA& device)
{
    DEVMODEA mode{};
    mode.dmSize = sizeof(mode);
    if (!EnumDisplaySettingsA(device.DeviceName, ENUM_CURRENT_SETTINGS, &mode))
        return false;
    RECT rect{};
    if ((device.StateFlags & primaryDeviceFlag) == 0) {
        rect.left = mode.dmPosition.x;
        rect.top = mode.dmPosition.y;
    }
    rect.right = static_cast<LONG>(static_cast<int64_t>(rect.left) + mode.dmPelsWidth);
    rect.bottom = static_cast<LONG>(static_cast<int64_t>(rect.top) + mode.dmPelsHeight);
    return MonitorFromRect(&rect, MONITOR_DEFAULTTONULL) != nullptr;
}

void RestoreRegistryMode(const DISPLAY_DEVICEA& device)
{
    ChangeDisplaySettingsExA(device.DeviceName, nullptr, nullptr, 0, nullptr);
}

void RestoreAllDisplays()
{
    DISPLAY_DEVICEA device{};
    device.cb = sizeof(device);
    for (DWORD index = 0; EnumDisplayDevicesA(nullptr, index, &device, 0); ++index) {
        if (device.StateFlags & mirroringDriverFlag)
            RestoreRegistryMode(device);
        if (MonitorLiesIn(device))
            RestoreRegistryMode(device);
        device = DISPLAY_DEVICEA{};
        device.cb = sizeof(device);
    }
}

// A caller's handle already in the place wins over the new window.
void StoreWindow(WindowHandle* window, HWND created)
{
    if (!*window)
        *window = created;
}

int CreateChildWindow(WindowHandle* window, const String& name, HWND parent)
{
    RECT rect{};
    GetClientRect(parent, &rect);
    const DWORD style = WS_CHILD | WS_VISIBLE;
    AdjustWindowRect(&rect, style, FALSE);
    HWND created = CreateWindowExA(0, WindowClassName().GetBuffer(), name.GetBuffer(), style, rect.left, rect.top,
                                   rect.right - rect.left, rect.bottom - rect.top, parent, nullptr, ProgramInstance(),
                                   nullptr);
    if (!created) {
        DestroySystemWindow(nullptr);
        LogError("Невозможно создать окно [%s].", name.GetBuffer());
        return 1;
    }
    *window = created;
    return 0;
}

bool ModeQualifies(const DEVMODEA& mode, int32_t bitsPerPixel, int32_t x, int32_t y, int32_t width, int32_t height)
{
    return mode.dmPosition.x == x && mode.dmPosition.y == y && static_cast<int64_t>(mode.dmPelsWidth) == width &&
           static_cast<int64_t>(mode.dmPelsHeight) == height && static_cast<int64_t>(mode.dmBitsPerPel) == bitsPerPixel;
}

// True once a pop-up window stands on a mode the device accepts; false when no listed
// mode both matches and yields a window.
bool CreateFullScreenWindow(WindowHandle* window, const String& name, const DISPLAY_DEVICEA& device,
                            int32_t bitsPerPixel, int32_t x, int32_t y, int32_t width, int32_t height)
{
    DEVMODEA mode{};
    mode.dmSize = sizeof(mode);
    for (DWORD index = 0; EnumDisplaySettingsA(device.DeviceName, index, &mode); ++index) {
        if (ModeQualifies(mode, bitsPerPixel, x, y, width, height) &&
            ChangeDisplaySettingsExA(device.DeviceName, &mode, nullptr, testFullScreenFlags, nullptr) ==
                DISP_CHANGE_SUCCESSFUL) {
            HWND created = CreateWindowExA(0, WindowClassName().GetBuffer(), name.GetBuffer(), WS_POPUP | WS_VISIBLE,
                                           x, y, width, height, nullptr, nullptr, ProgramInstance(), nullptr);
            if (created) {
                StoreWindow(window, created);
                return true;
            }
        }
        mode = DEVMODEA{};
        mode.dmSize = sizeof(mode);
    }
    return false;
}

int CreateDesktopWindow(WindowHandle* window, const String& name, int32_t x, int32_t y, int32_t width, int32_t height)
{
    RECT rect{};
    rect.left = x;
    rect.top = y;
    rect.right = static_cast<LONG>(static_cast<int64_t>(x) + width);
    rect.bottom = static_cast<LONG>(static_cast<int64_t>(y) + height);
    AdjustWindowRect(&rect, WS_VISIBLE, FALSE);
    HWND created = CreateWindowExA(WS_EX_OVERLAPPEDWINDOW, WindowClassName().GetBuffer(), name.GetBuffer(), WS_VISIBLE,
                                   rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr,
                                   ProgramInstance(), nullptr);
    if (!created) {
        DestroySystemWindow(nullptr);
        return 1;
    }
    StoreWindow(window, created);
    return 0;
}

} // namespace

int CreateSystemWindow(WindowHandle* window, const String& name, WindowHandle parent, bool fullScreen,
                       int32_t bitsPerPixel, int32_t x, int32_t y, int32_t width, int32_t height)
{
    LogInfo("Создание системного окна [%s].", name.GetBuffer());
    if (!window) {
        LogError("Указатель на окно равен 0.");
        return 3;
    }
    String& className = WindowClassName();
    className = ClassNameOf(name);
    if (!RegisterEngineClass(className)) {
        LogError("Невозможно зарегестрировать класс окна [%s].", className.GetBuffer());
        return 1;
    }
    if (parent)
        return CreateChildWindow(window, name, static_cast<HWND>(parent));

    // Only the first display device counts; no device at all leaves the caller without
    // a window, and the graphics device creation that follows reports that.
    DISPLAY_DEVICEA device{};
    if (FirstDisplayDevice(&device)) {
        if ((device.StateFlags & mirroringDriverFlag) != 0 || !MonitorLiesIn(device)) {
            DestroySystemWindow(nullptr);
            return 1;
        }
        if (!fullScreen)
            return CreateDesktopWindow(window, name, x, y, width, height);
        if (CreateFullScreenWindow(window, name, device, bitsPerPixel, x, y, width, height))
            return 0;
    }
    if (!*window)
        DestroySystemWindow(nullptr);
    return 0;
}

int DestroySystemWindow(WindowHandle window)
{
    if (!window) {
        LogWarning("Указатель на окно равен 0.");
    } else if (!DestroyWindow(static_cast<HWND>(window))) {
        LogError("Невозможно удалить системное окно.");
        return 1;
    }
    RestoreAllDisplays();
    if (!UnregisterClassA(WindowClassName().GetBuffer(), ProgramInstance())) {
        LogError("Невозможно разрегестрировать класс системного окна.");
        return 1;
    }
    return 0;
}

} // namespace Vorn
