#include "engine/resources/ModuleManager.h"

#include <new>

#include "engine/core/Engine.h"
#include "engine/core/HashTable.h"
#include "engine/core/Log.h"
#include "engine/core/Pointer.h"

namespace Vorn {

namespace {

using ModuleTable = HashTable<String, Pointer<Module>>;

ModuleTable* modules = nullptr;
bool initializerRegistered = false;
bool terminatorRegistered = false;

int InitializeModuleManager()
{
    LogInfo("Инициализация менеджера модулей.");
    if (!modules) {
        modules = new (std::nothrow) ModuleTable(32);
        if (!modules) {
            LogError("Недостаточно памяти для инициализации менеджера модулей.");
            return 1;
        }
    }
    LogInfo("Менеджер модулей инициализирован.");
    return 0;
}

int TerminateModuleManager()
{
    LogInfo("Завершение работы менеджера модулей.");
    // Modules shut down while they go; by then lookups already find nothing.
    ModuleTable* table = modules;
    modules = nullptr;
    if (table) {
        table->Clear();
        delete table;
    }
    LogInfo("Менеджер модулей завершил работу.");
    return 0;
}

} // namespace

namespace ModuleManager {

bool RegisterInitializer()
{
    if (!initializerRegistered) {
        Engine::AddInitializer(&InitializeModuleManager);
        initializerRegistered = true;
    }
    return true;
}

bool RegisterTerminator()
{
    if (!terminatorRegistered) {
        Engine::AddTerminator(&TerminateModuleManager);
        terminatorRegistered = true;
    }
    return true;
}

int RegisterModule(Module* module)
{
    if (!module) {
        LogWarning("Указатель на модуль равен 0 при регистрации.");
        return 3;
    }
    const String& name = module->GetName();
    if (modules && modules->Find(name)) {
        LogWarning("Модуль с именем [%s] уже зарегестрирован.", name.GetBuffer());
        return 1;
    }
    if (!modules || modules->Insert(name, Pointer<Module>(module)) != 0) {
        LogWarning("Невозможно вставить модуль [%s] в таблицу зарегестрированных модулей.", name.GetBuffer());
        return 1;
    }
    return 0;
}

Module* FindModule(const String& name)
{
    if (!modules)
        return nullptr;
    Pointer<Module>* found = modules->Find(name);
    return found ? found->Get() : nullptr;
}

int LoadModule(const String& name, Module** module)
{
    if (module)
        *module = nullptr;
    if (Module* registered = FindModule(name)) {
        if (module)
            *module = registered;
        return 0;
    }
    LogInfo("Загружается модуль [%s].", name.GetBuffer());
    DynamicModule* loaded = nullptr;
    const int status = LoadDynamicModule(&loaded, name);
    if (status != 0) {
        LogError("Невозможно загрузить модуль [%s].", name.GetBuffer());
        return status;
    }
    const Pointer<Module> hold(loaded);
    loaded->SetName(name);
    ModuleFunction initialize = nullptr;
    if (FindFunction(*loaded, &initialize, String("Initialize")) != 0 || !initialize) {
        LogWarning("В модуле не найдена функция инициализации модуля [%s].", name.GetBuffer());
    } else if (initialize() != 0) {
        LogError("Неудачна инициализация модуля.");
        return 1;
    }
    if (RegisterModule(loaded) != 0) {
        LogError("Невозможно зарегестрировать модуль [%s].", name.GetBuffer());
        return 1;
    }
    if (module)
        *module = loaded;
    return 0;
}

} // namespace ModuleManager

} // namespace Vorn
