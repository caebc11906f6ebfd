#include "engine/core/platform/win32/EngineWindowProc.h"

#include "engine/core/InputManager.h"

namespace Vorn {

namespace {

constexpr int32_t keyboardDevice = static_cast<int32_t>(InputDevice::Keyboard);
constexpr int32_t mouseDevice = static_cast<int32_t>(InputDevice::Mouse);
constexpr int32_t windowDevice = static_cast<int32_t>(InputDevice::Window);
constexpr int32_t pressAction = static_cast<int32_t>(InputAction::Press);
constexpr int32_t releaseAction = static_cast<int32_t>(InputAction::Release);
constexpr int32_t moveAction = static_cast<int32_t>(InputAction::Move);
constexpr int32_t closeAction = static_cast<int32_t>(InputAction::Close);

struct ButtonMessage {
    UINT message;
    int32_t action;
    int32_t button; // 0 left, 1 right, 2 middle
};

constexpr ButtonMessage buttonMessages[] = {
    { WM_LBUTTONDOWN, pressAction, 0 }, { WM_LBUTTONUP, releaseAction, 0 },
    { WM_RBUTTONDOWN, pressAction, 1 }, { WM_RBUTTONUP, releaseAction, 1 },
    { WM_MBUTTONDOWN, pressAction, 2 }, { WM_MBUTTONUP, releaseAction, 2 },
};

// Virtual keys fit in a byte; a wider parameter must not alias onto one of them.
int32_t KeyCodeOf(WPARAM wParam)
{
    return wParam <= 0xFF ? KeyCodeFromVirtualKey(static_cast<int>(wParam)) : unmappedKeyCode;
}

// System keys (WM_SYSKEYDOWN and friends: Alt, F10, anything held with Alt) and the wheel
// are deliberately absent; the default procedure still turns Alt+F4 into a close.
bool EventFromMessage(UINT message, WPARAM wParam, LPARAM lParam, InputEvent* event)
{
    switch (message) {
    case WM_DESTROY:
    case WM_CLOSE:
    case WM_QUIT:
        *event = InputEvent{ windowDevice, closeAction, 0, 0 };
        return true;
    case WM_KEYDOWN:
        *event = InputEvent{ keyboardDevice, pressAction, KeyCodeOf(wParam), 0 };
        return true;
    case WM_KEYUP:
        *event = InputEvent{ keyboardDevice, releaseAction, KeyCodeOf(wParam), 0 };
        return true;
    case WM_MOUSEMOVE:
        // Unsigned on purpose: a captured mouse left or above the client area arrives
        // as a value above 32767 rather than as a negative coordinate.
        *event = InputEvent{ mouseDevice, moveAction, static_cast<int32_t>(LOWORD(lParam)), static_cast<int32_t>(HIWORD(lParam)) };
        return true;
    default:
        break;
    }
    for (const ButtonMessage& button : buttonMessages) {
        if (button.message == message) {
            *event = InputEvent{ mouseDevice, button.action, button.button, 0 };
            return true;
        }
    }
    return false;
}

} // namespace

LRESULT CALLBACK EngineWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    InputEvent event{};
    if (EventFromMessage(message, wParam, lParam, &event))
        PostInputEvent(event);
    return DefWindowProcA(window, message, wParam, lParam);
}

} // namespace Vorn
