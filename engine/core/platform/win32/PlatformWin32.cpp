// The Win32 side of the platform layer apart from the engine window: "MEDIADATA"
// resources of the executable, the tick count, the message pump and dynamic libraries.
#include "engine/core/Platform.h"

#include <windows.h>

#include "engine/core/Log.h"

namespace Vorn {

int ReadMediaResource(int32_t id, const uint8_t** data, int32_t* size)
{
    if (!data || !size) {
        LogError("Указатель на данные ресурса равен 0.");
        return 3;
    }
    // A resource number is a 16-bit value; anything wider would alias another number.
    HMODULE program = GetModuleHandleA(nullptr);
    HRSRC found = (id > 0 && id <= 0xFFFF) ? FindResourceA(program, MAKEINTRESOURCEA(id), "MEDIADATA") : nullptr;
    if (!found) {
        LogError("Невозможно найти ресурс ID[%d].", id);
        return 1;
    }
    HGLOBAL loaded = LoadResource(program, found);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes) {
        LogError("Невозможно загрузить ресурс ID[%d].", id);
        return 1;
    }
    *data = static_cast<const uint8_t*>(bytes);
    *size = static_cast<int32_t>(SizeofResource(program, found));
    return 0;
}

// The executable carries its resources from the resource script; nothing to register.
void RegisterMediaResource(int32_t, const uint8_t*, int32_t) {}

double GetTimeMs()
{
    return static_cast<double>(GetTickCount());
}

int PumpMessages()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}

void* OpenLibrary(const String& path)
{
    if (path.IsEmpty())
        return nullptr;
    return LoadLibraryA(path.GetBuffer());
}

bool CloseLibrary(void* library)
{
    return library && FreeLibrary(static_cast<HMODULE>(library)) != 0;
}

void* FindLibrarySymbol(void* library, const String& symbol)
{
    if (!library)
        return nullptr;
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), symbol.GetBuffer()));
}

} // namespace Vorn
