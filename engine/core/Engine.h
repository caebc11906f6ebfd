// The engine's start-up and shut-down lists. Classes and managers add their functions
// during static construction (see ClassRegistrar); the host runs them once the log has
// its sinks (Initialize) and after the renderer is gone (Shutdown).
#pragma once

#include <cstdint>

#include "engine/core/Array.h"

namespace Vorn {

struct EngineVersion {
    int32_t major;
    int32_t minor;
    int32_t build;
};

using LifecycleFunction = int (*)();

// The three lists as one value, so that tests can drive lists of their own; the engine
// itself uses the process-wide instance behind Engine.
class EngineLifecycle {
public:
    EngineLifecycle();
    ~EngineLifecycle();
    EngineLifecycle(const EngineLifecycle&) = delete;
    EngineLifecycle& operator=(const EngineLifecycle&) = delete;

    void AddInitializer(LifecycleFunction function);
    void AddPostInitializer(LifecycleFunction function);
    void AddTerminator(LifecycleFunction function);
    int Initialize();
    int Shutdown();
    void Release();

private:
    using FunctionList = Array<LifecycleFunction>;

    // Each list comes into being with the first function registered in it.
    FunctionList* initializers;
    FunctionList* postInitializers;
    FunctionList* terminators;
};

namespace Engine {

void AddInitializer(LifecycleFunction function);
void AddPostInitializer(LifecycleFunction function);
void AddTerminator(LifecycleFunction function);
// 0 on success, 1 when a function failed (the rest of its pass is skipped).
int Initialize();
int Shutdown();
// Frees the lists; runs at process exit.
void Release();
EngineVersion GetVersion();

} // namespace Engine

// The registration pattern: called from the static initialisation of every source file
// that uses a class, it adds the class's initialiser and terminator once.
inline bool RegisterOnce(bool& registered, LifecycleFunction initializer, LifecycleFunction terminator)
{
    if (registered)
        return true;
    Engine::AddInitializer(initializer);
    Engine::AddTerminator(terminator);
    registered = true;
    return true;
}

} // namespace Vorn
