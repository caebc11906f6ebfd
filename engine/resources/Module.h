// Modules: named tables of entry points through which the engine finds its renderer and
// its codecs. A static module is linked into the program and fills its table itself; a
// dynamic module is a library loaded through the platform layer. Whichever kind, the
// module's "Shutdown" entry point runs when its last reference goes.
#pragma once

#include <cstdint>

#include "engine/core/HashTable.h"
#include "engine/core/Named.h"
#include "engine/core/RefCounted.h"
#include "engine/core/String.h"

namespace Vorn {

// The "Initialize" and "Shutdown" entry points every module offers.
using ModuleFunction = int (*)();

class Module : public Named, public virtual RefCounted {
public:
    explicit Module(const String& moduleName) : Named(moduleName) {}

    // Status 0 with the entry point stored, 1 not found, 3 no place for the result.
    virtual int FindSymbol(void** symbol, const String& symbolName) = 0;

protected:
    // Called by each concrete destructor while its symbols can still be reached.
    void RunShutdown();
};

// FindSymbol with the entry point converted to the function type the caller expects.
template <class Function>
int FindFunction(Module& module, Function* function, const String& symbolName)
{
    void* symbol = nullptr;
    const int status = module.FindSymbol(&symbol, symbolName);
    if (status == 0 && function)
        *function = reinterpret_cast<Function>(symbol);
    return status;
}

class StaticModule : public Module {
public:
    explicit StaticModule(const String& moduleName);
    ~StaticModule() override;

    // Status 0 added, 1 a symbol of that name is present, 2 out of memory.
    int AddSymbol(const String& symbolName, void* symbol);
    template <class Function>
    int AddFunction(const String& symbolName, Function function)
    {
        return AddSymbol(symbolName, reinterpret_cast<void*>(function));
    }

    int FindSymbol(void** symbol, const String& symbolName) override;

private:
    HashTable<String, void*> symbols; // 32 buckets
};

class DynamicModule : public Module {
public:
    explicit DynamicModule(const String& moduleName);
    // Runs "Shutdown" and unloads the library, when one is loaded.
    ~DynamicModule() override;

    int FindSymbol(void** symbol, const String& symbolName) override;
    void* GetLibrary() const { return library; }

private:
    friend int LoadDynamicModule(DynamicModule** module, const String& moduleName);
    friend int UnloadDynamicModule(DynamicModule* module);

    void* library; // null when not loaded
};

// Finds the file moduleName + ".dll" in the virtual file system and loads the library
// from that file's path. The new module has no reference yet. Status 0, 1, 2 or 3.
int LoadDynamicModule(DynamicModule** module, const String& moduleName);
// Frees the library and forgets its handle; the module object stays. Status 0, 1 or 3.
int UnloadDynamicModule(DynamicModule* module);

} // namespace Vorn
