// The engine's few ways into the operating system: the device window, data resources
// embedded in the program, dynamic libraries, the tick count and the message pump. The
// Win32 side is what the saver uses; the native (POSIX) side lets the same engine code
// run in tools and tests, with resources from a table the program registers and window
// functions that refuse with their logged failure.
#pragma once

#include <cstdint>

#include "engine/core/String.h"

namespace Vorn {

// An operating-system window (HWND on Windows), opaque to the portable engine.
using WindowHandle = void*;

// Status results follow the engine's convention: 0 done, 1 failed, 2 no memory, 3 bad
// argument or not found.
int CreateSystemWindow(WindowHandle* window, const String& name, WindowHandle parent, bool fullScreen,
                       int32_t bitsPerPixel, int32_t x, int32_t y, int32_t width, int32_t height);
int DestroySystemWindow(WindowHandle window);

// A "MEDIADATA" resource of the program: a pointer into the program image (not a copy,
// valid for the life of the process) and its size.
int ReadMediaResource(int32_t id, const uint8_t** data, int32_t* size);
// Native side only: makes bytes that live for the rest of the process readable as a
// resource (tools and tests register what the executable would carry).
void RegisterMediaResource(int32_t id, const uint8_t* data, int32_t size);

// Milliseconds since the system started (the tick count), as a double.
double GetTimeMs();
// Dispatches every waiting message of the thread's windows; always 0.
int PumpMessages();

// Thin wrappers over the system's dynamic libraries; callers log their own failures.
void* OpenLibrary(const String& path);
bool CloseLibrary(void* library);
void* FindLibrarySymbol(void* library, const String& symbol);

} // namespace Vorn
