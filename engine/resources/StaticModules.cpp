// The modules linked into the program. Each registers itself with the module manager in
// a post-initialiser of its own, since the manager exists only once the engine's
// initialisers have run. The library is linked whole, so this file's registrations run
// in every program that uses the engine.
#include <cstddef>
#include <new>
#include <utility>

#include "engine/core/Engine.h"
#include "engine/core/Pointer.h"
#include "engine/resources/Codec.h"
#include "engine/resources/Module.h"
#include "engine/resources/ModuleManager.h"
#include "engine/resources/Rar2FileCodec.h"
#include "engine/resources/StrSceneCodec.h"

namespace Vorn {

class Renderer;

namespace {

using CreateRendererFunction = int (*)(Renderer** renderer);

int InitializeLinkedModule() { return 0; }
int ShutdownLinkedModule() { return 0; }
int CreateUnavailableCodec(Codec**) { return 1; }
int CreateUnavailableRenderer(Renderer**) { return 1; }

struct LinkedModule {
    const char* name;
    CreateCodecFunction createCodec;       // null for the renderer module
    CreateRendererFunction createRenderer; // null for codec modules
};

constexpr LinkedModule linkedModules[] = {
    { "DirectX9", nullptr, &CreateUnavailableRenderer },
    { "BMPImageCodec", &CreateUnavailableCodec, nullptr },
    { "JPGImageCodec", &CreateUnavailableCodec, nullptr },
    { "TGAImageCodec", &CreateUnavailableCodec, nullptr },
    { "CUBEImageCodec", &CreateUnavailableCodec, nullptr },
    { "STRSceneCodec", &StrSceneCodec::Create, nullptr },
    { "RAR2FileCodec", &Rar2FileCodec::Create, nullptr },
};
constexpr size_t linkedModuleCount = sizeof linkedModules / sizeof linkedModules[0];

int AddEntryPoints(StaticModule& module, const LinkedModule& linked)
{
    int status = module.AddFunction(String("Initialize"), &InitializeLinkedModule);
    if (status == 0)
        status = module.AddFunction(String("Shutdown"), &ShutdownLinkedModule);
    if (status == 0 && linked.createCodec)
        status = module.AddFunction(String("CreateCodec"), linked.createCodec);
    if (status == 0 && linked.createRenderer)
        status = module.AddFunction(String("CreateRenderer"), linked.createRenderer);
    return status;
}

// A failure here fails the post-initialisation, and with it Engine::Initialize.
int RegisterLinkedModule(const LinkedModule& linked)
{
    StaticModule* module = new (std::nothrow) StaticModule(String(linked.name));
    if (!module)
        return 1;
    const Pointer<Module> hold(module);
    if (AddEntryPoints(*module, linked) != 0)
        return 1;
    return ModuleManager::RegisterModule(module) == 0 ? 0 : 1;
}

template <size_t index>
int RegisterLinkedModuleAt()
{
    return RegisterLinkedModule(linkedModules[index]);
}

template <size_t... indices>
bool AddPostInitializers(std::index_sequence<indices...>)
{
    (Engine::AddPostInitializer(&RegisterLinkedModuleAt<indices>), ...);
    return true;
}

[[maybe_unused]] const bool linkedModulesRegistration =
    AddPostInitializers(std::make_index_sequence<linkedModuleCount>());

} // namespace

} // namespace Vorn
