// The native side of the platform layer, for tools and tests: there is no window system
// here, so window creation refuses with the failure the Win32 side would log; resources
// come from a table the program fills; libraries are the dynamic loader's.
#include "engine/core/Platform.h"

#include <dlfcn.h>
#include <time.h>

#include <new>

#include "engine/core/Array.h"
#include "engine/core/Log.h"

namespace Vorn {

namespace {

// Kept so that the failure names the class the Win32 side would have registered.
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

struct MediaResource {
    int32_t id;
    const uint8_t* data;
    int32_t size;
};

Array<MediaResource>& MediaResources()
{
    static Array<MediaResource> resources(8, 8);
    return resources;
}

MediaResource* FindMediaResource(int32_t id)
{
    Array<MediaResource>& resources = MediaResources();
    for (int32_t i = 0; i < resources.GetCount(); ++i)
        if (resources[i].id == id)
            return &resources[i];
    return nullptr;
}

} // namespace

int CreateSystemWindow(WindowHandle* window, const String& name, WindowHandle, bool, int32_t, int32_t, int32_t,
                       int32_t, int32_t)
{
    LogInfo("Создание системного окна [%s].", name.GetBuffer());
    if (!window) {
        LogError("Указатель на окно равен 0.");
        return 3;
    }
    String& className = WindowClassName();
    className = ClassNameOf(name);
    LogError("Невозможно зарегестрировать класс окна [%s].", className.GetBuffer());
    return 1;
}

int DestroySystemWindow(WindowHandle window)
{
    if (window) {
        // No window of ours can exist here, so whatever this is cannot be destroyed.
        LogError("Невозможно удалить системное окно.");
        return 1;
    }
    LogWarning("Указатель на окно равен 0.");
    return 0;
}

int ReadMediaResource(int32_t id, const uint8_t** data, int32_t* size)
{
    if (!data || !size) {
        LogError("Указатель на данные ресурса равен 0.");
        return 3;
    }
    const MediaResource* resource = FindMediaResource(id);
    if (!resource) {
        LogError("Невозможно найти ресурс ID[%d].", id);
        return 1;
    }
    *data = resource->data;
    *size = resource->size;
    return 0;
}

// A later registration of the same number replaces the earlier one, as relinking the
// executable with a new resource would. Bytes that are missing or of negative size are
// never registered, so a reader always gets something it can walk.
void RegisterMediaResource(int32_t id, const uint8_t* data, int32_t size)
{
    if (!data || size < 0)
        return;
    if (MediaResource* existing = FindMediaResource(id)) {
        existing->data = data;
        existing->size = size;
        return;
    }
    MediaResources().Append(MediaResource{ id, data, size });
}

double GetTimeMs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    // Whole milliseconds, as the Windows tick count gives them.
    const long long milliseconds = static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
    return static_cast<double>(milliseconds);
}

int PumpMessages()
{
    return 0;
}

void* OpenLibrary(const String& path)
{
    // An empty name would give the program itself, which LoadLibrary never does.
    if (path.IsEmpty())
        return nullptr;
    return dlopen(path.GetBuffer(), RTLD_NOW | RTLD_LOCAL);
}

bool CloseLibrary(void* library)
{
    return library && dlclose(library) == 0;
}

void* FindLibrarySymbol(void* library, const String& symbol)
{
    if (!library)
        return nullptr;
    return dlsym(library, symbol.GetBuffer());
}

} // namespace Vorn
