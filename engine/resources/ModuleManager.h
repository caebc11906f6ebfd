// The process-wide table of modules, keyed by module name. Linked-in modules register
// themselves during the engine's post-initialisation; others are loaded by name as
// dynamic libraries. Registered modules stay until the manager's terminator.
#pragma once

#include "engine/core/String.h"
#include "engine/resources/Module.h"

namespace Vorn {

namespace ModuleManager {

// Refused when null (3) or when the name is taken (1). The table takes a reference on
// success only: a caller hands over a module it holds in a Pointer, so that a refused
// one is freed by that Pointer and not twice.
int RegisterModule(Module* module);
// The registered module of that name, or else the dynamic library named after it,
// initialised and registered. The optional out slot receives the module.
int LoadModule(const String& name, Module** module = nullptr);
// The registered module or null; nothing is loaded.
Module* FindModule(const String& name);

// One-time registration of the initialiser and of the terminator with the engine.
bool RegisterInitializer();
bool RegisterTerminator();

} // namespace ModuleManager

[[maybe_unused]] static const bool moduleManagerInitializerRegistration = ModuleManager::RegisterInitializer();
[[maybe_unused]] static const bool moduleManagerTerminatorRegistration = ModuleManager::RegisterTerminator();

} // namespace Vorn
