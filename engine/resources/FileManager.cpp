#include "engine/resources/FileManager.h"

#include <new>

#include "engine/core/Engine.h"
#include "engine/core/Log.h"
#include "engine/core/Platform.h"
#include "engine/resources/Codec.h"
#include "engine/resources/CodecManager.h"
#include "engine/resources/VirtualDirectory.h"
#include "engine/resources/VirtualFile.h"

namespace Vorn {

namespace {

VirtualDirectory* root = nullptr;
bool initializerRegistered = false;
bool terminatorRegistered = false;

int InitializeFileManager()
{
    LogInfo("Инициализация менеджера файлов.");
    if (!root) {
        root = new (std::nothrow) VirtualDirectory(String());
        if (!root) {
            LogError("Недостаточно памяти для инициализации менеджера файлов.");
            return 1;
        }
    }
    LogInfo("Менеджер файлов инициализирован.");
    return 0;
}

int TerminateFileManager()
{
    LogInfo("Завершение работы менеджера файлов.");
    VirtualDirectory* tree = root;
    root = nullptr;
    delete tree;
    LogInfo("Менеджер файлов завершил работу.");
    return 0;
}

} // namespace

namespace FileManager {

bool RegisterInitializer()
{
    if (!initializerRegistered) {
        Engine::AddInitializer(&InitializeFileManager);
        initializerRegistered = true;
    }
    return true;
}

bool RegisterTerminator()
{
    if (!terminatorRegistered) {
        Engine::AddTerminator(&TerminateFileManager);
        terminatorRegistered = true;
    }
    return true;
}

VirtualDirectory* GetRoot()
{
    return root;
}

VirtualFile* FindFile(const String& path)
{
    if (!root)
        return nullptr;
    for (int32_t i = 0; i < root->GetDirectoryCount(); ++i)
        if (VirtualFile* found = root->GetDirectory(i)->FindFile(path))
            return found;
    return nullptr;
}

int MountArchive(VirtualFile* archive, const String& password)
{
    if (!archive) {
        LogWarning("Указатель на архив равен 0.");
        return 3;
    }
    FileCodec* codec = dynamic_cast<FileCodec*>(CodecManager::FindCodecForFile(archive));
    if (!codec) {
        LogWarning("Не найден кодек для архива [%s].", archive->GetName().GetBuffer());
        return 3;
    }
    VirtualDirectory* directory = nullptr;
    const int status = codec->Load(archive, &directory, password);
    if (status != 0) {
        LogError("Невозможно загрузить директорию из архива [%s].", archive->GetName().GetBuffer());
        return status;
    }
    if (!root || root->AttachDirectory(directory) != 0) {
        LogError("Невозможно подсоединить директорию [%s] к корню.", directory->GetName().GetBuffer());
        delete directory;
        return 1;
    }
    return 0;
}

int MountResourceArchive(int32_t id, const String& name, const String& password)
{
    const uint8_t* data = nullptr;
    int32_t size = 0;
    const int status = ReadMediaResource(id, &data, &size);
    if (status != 0) {
        LogWarning("Невозможно прочитать ресурс ID[%d] Имя[%s].", id, name.GetBuffer());
        return status;
    }
    MemoryFile* file = new (std::nothrow) MemoryFile(name);
    if (!file) {
        LogError("Недостаточно памяти для создания виртуального файла.");
        return 2;
    }
    // The resource lives in the program image: the file borrows it and must not free it.
    file->SetSourceData(data, size > 0 ? static_cast<uint32_t>(size) : 0);
    const int mounted = MountArchive(file, password);
    file->ForgetSourceData();
    delete file;
    return mounted;
}

} // namespace FileManager

} // namespace Vorn
