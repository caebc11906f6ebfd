#include "engine/core/Engine.h"

#include <cstdlib>
#include <ctime>
#include <new>

#include "engine/core/Log.h"

namespace Vorn {

namespace {

constexpr EngineVersion version = { 0, 1, 2 };

// The list grows by two: capacity 1, 3, 5, ...
Array<LifecycleFunction>* AppendTo(Array<LifecycleFunction>*& list, LifecycleFunction function, const char* noMemory)
{
    if (!list) {
        list = new (std::nothrow) Array<LifecycleFunction>(1, 2);
        if (!list || list->GetCapacity() == 0) {
            delete list;
            list = nullptr;
            LogCritical("%s", noMemory);
            return nullptr;
        }
    }
    list->Append(function);
    return list;
}

// The index is compared with the current count after every call, so a function added
// during the pass runs in the same pass.
bool RunAll(Array<LifecycleFunction>* list)
{
    for (int32_t i = 0; list && i < list->GetCount(); ++i)
        if ((*list)[i]() != 0)
            return false;
    return true;
}

} // namespace

EngineLifecycle::EngineLifecycle() : initializers(nullptr), postInitializers(nullptr), terminators(nullptr) {}

EngineLifecycle::~EngineLifecycle()
{
    Release();
}

void EngineLifecycle::AddInitializer(LifecycleFunction function)
{
    AppendTo(initializers, function, "Недостаточно памяти для создания массива функций инициализации.");
}

void EngineLifecycle::AddPostInitializer(LifecycleFunction function)
{
    AppendTo(postInitializers, function, "Недостаточно памяти для создания массива функций постинициализации.");
}

void EngineLifecycle::AddTerminator(LifecycleFunction function)
{
    AppendTo(terminators, function, "Недостаточно памяти для создания массива функций деинициализации.");
}

int EngineLifecycle::Initialize()
{
    LogInfo("Инициализация движка v.%d.%d.%d:", version.major, version.minor, version.build);
    std::srand(static_cast<unsigned>(std::time(nullptr)));
    if (!RunAll(initializers)) {
        LogError("Инициализация движка неудачно.");
        return 1;
    }
    LogInfo("Инициализация движка завершилась удачно.");
    LogInfo("Постинициализация движка:");
    if (!RunAll(postInitializers)) {
        LogError("Постинициализация движка неудачна.");
        return 1;
    }
    LogInfo("Постинициализация движка завершилась удачно.");
    return 0;
}

// Terminators run first-registered-first, like the initialisers.
int EngineLifecycle::Shutdown()
{
    LogInfo("Завершение работы движка:");
    if (!RunAll(terminators)) {
        LogError("Завершение работы движка неудачно.");
        return 1;
    }
    LogInfo("Завершение работы движка завершилось удачно.");
    return 0;
}

void EngineLifecycle::Release()
{
    delete initializers;
    delete postInitializers;
    delete terminators;
    initializers = postInitializers = terminators = nullptr;
}

namespace {

// Constant-initialised storage, so that registrations made by static constructors of
// other files find it ready whatever the order of static construction. The lifecycle
// object is built in place at the first registration.
alignas(EngineLifecycle) unsigned char lifecycleStorage[sizeof(EngineLifecycle)];
EngineLifecycle* lifecycle = nullptr;

void ReleaseAtExit()
{
    if (lifecycle)
        lifecycle->Release();
}

EngineLifecycle& Lifecycle()
{
    if (!lifecycle) {
        lifecycle = new (lifecycleStorage) EngineLifecycle();
        std::atexit(ReleaseAtExit);
    }
    return *lifecycle;
}

} // namespace

namespace Engine {

void AddInitializer(LifecycleFunction function) { Lifecycle().AddInitializer(function); }
void AddPostInitializer(LifecycleFunction function) { Lifecycle().AddPostInitializer(function); }
void AddTerminator(LifecycleFunction function) { Lifecycle().AddTerminator(function); }
int Initialize() { return Lifecycle().Initialize(); }
int Shutdown() { return Lifecycle().Shutdown(); }
void Release() { Lifecycle().Release(); }
EngineVersion GetVersion() { return version; }

} // namespace Engine

} // namespace Vorn
