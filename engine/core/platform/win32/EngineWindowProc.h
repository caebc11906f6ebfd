// The procedure of the engine window: keyboard, mouse-button, mouse-move and close
// messages become input events for the input manager; every message, with or without an
// event, then goes on to the default window procedure.
#pragma once

#include <windows.h>

namespace Vorn {

LRESULT CALLBACK EngineWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

} // namespace Vorn
