#include "engine/resources/Module.h"

#include <new>

#include "engine/core/Log.h"
#include "engine/core/Platform.h"
#include "engine/resources/FileManager.h"
#include "engine/resources/VirtualDirectory.h"
#include "engine/resources/VirtualFile.h"

namespace Vorn {

void Module::RunShutdown()
{
    ModuleFunction shutdown = nullptr;
    if (FindFunction(*this, &shutdown, String("Shutdown")) != 0 || !shutdown)
        LogWarning("В модуле не найдена функция завершения работы модуля [%s].", name.GetBuffer());
    else if (shutdown() != 0)
        LogError("Неудачно завершение работы модуля.");
}

// --- StaticModule --------------------------------------------------------------------

StaticModule::StaticModule(const String& moduleName) : Module(moduleName), symbols(32) {}

StaticModule::~StaticModule()
{
    RunShutdown();
}

int StaticModule::AddSymbol(const String& symbolName, void* symbol)
{
    return symbols.Insert(symbolName, symbol);
}

int StaticModule::FindSymbol(void** symbol, const String& symbolName)
{
    if (!symbol) {
        LogWarning("Указатель на символ [%s] равен 0.", symbolName.GetBuffer());
        return 3;
    }
    void* const* found = symbols.Find(symbolName);
    if (!found) {
        LogWarning("Невозможно найти символ [%s] в модуле [%s].", symbolName.GetBuffer(), name.GetBuffer());
        return 1;
    }
    *symbol = *found;
    return 0;
}

// --- DynamicModule -------------------------------------------------------------------

DynamicModule::DynamicModule(const String& moduleName) : Module(moduleName), library(nullptr) {}

DynamicModule::~DynamicModule()
{
    // A module whose library never loaded, or was unloaded already, has no "Shutdown"
    // left to run.
    if (!library)
        return;
    RunShutdown();
    if (UnloadDynamicModule(this) != 0)
        LogError("Невозможно выгрузить динамический модуль [%s].", name.GetBuffer());
}

int DynamicModule::FindSymbol(void** symbol, const String& symbolName)
{
    if (!library || !symbol) {
        LogWarning("Указатель при поиске символа [%s] равен 0.", symbolName.GetBuffer());
        return 3;
    }
    *symbol = FindLibrarySymbol(library, symbolName);
    if (!*symbol) {
        LogWarning("Символ [%s] не найден в модуле [%s].", symbolName.GetBuffer(), name.GetBuffer());
        return 1;
    }
    return 0;
}

int LoadDynamicModule(DynamicModule** module, const String& moduleName)
{
    if (!module) {
        LogWarning("Указатель на модуль [%s] равен 0.", moduleName.GetBuffer());
        return 3;
    }
    *module = nullptr;
    LogInfo("Загружается модуль [%s].", moduleName.GetBuffer());
    const String fileName = JoinText(moduleName, String(), ".dll");
    VirtualFile* file = FileManager::FindFile(fileName);
    if (!file) {
        LogWarning("Не найден файл модуля [%s].", fileName.GetBuffer());
        return 3;
    }
    DynamicModule* created = new (std::nothrow) DynamicModule(moduleName);
    if (!created) {
        LogWarning("Недостаточно памяти для создания модуля [%s].", moduleName.GetBuffer());
        return 2;
    }
    created->library = OpenLibrary(file->GetPath());
    if (!created->library) {
        delete created;
        LogWarning("Загрузка модуля [%s] неудачна.", moduleName.GetBuffer());
        return 1;
    }
    *module = created;
    return 0;
}

int UnloadDynamicModule(DynamicModule* module)
{
    if (!module) {
        LogWarning("Указатель на модуль [%s] равен 0.", "");
        return 3;
    }
    LogInfo("Выгружается модуль [%s].", module->GetName().GetBuffer());
    if (!module->library)
        return 0;
    if (!CloseLibrary(module->library)) {
        LogWarning("Выгрузка модуля [%s] неудачна.", module->GetName().GetBuffer());
        return 1;
    }
    module->library = nullptr;
    return 0;
}

} // namespace Vorn
