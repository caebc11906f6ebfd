#include "engine/resources/CodecManager.h"

#include <new>

#include "engine/core/Array.h"
#include "engine/core/Engine.h"
#include "engine/core/HashTable.h"
#include "engine/core/Log.h"
#include "engine/core/Object.h"
#include "engine/resources/ModuleManager.h"
#include "engine/resources/VirtualFile.h"

namespace Vorn {

namespace {

// The table owns the codecs. It cannot be walked, so the codecs are also listed in
// registration order: since a chain keeps its entries in insertion order, filtering
// that list bucket by bucket visits them exactly as a walk of the table would.
struct CodecRegistry {
    CodecRegistry() : table(32), order(1, 1) {}
    HashTable<String, Pointer<Codec>> table;
    Array<Codec*> order;
};

CodecRegistry* codecs = nullptr;
bool initializerRegistered = false;
bool terminatorRegistered = false;

int InitializeCodecManager()
{
    LogInfo("Инициализация менеджера кодеков.");
    if (!codecs) {
        codecs = new (std::nothrow) CodecRegistry();
        if (!codecs) {
            LogError("Недостаточно памяти для инициализации менеджера кодеков.");
            return 1;
        }
    }
    LogInfo("Менеджер кодеков инициализирован.");
    return 0;
}

int TerminateCodecManager()
{
    LogInfo("Завершение работы менеджера кодеков.");
    CodecRegistry* registry = codecs;
    codecs = nullptr;
    if (registry) {
        registry->order.Clear();
        registry->table.Clear();
        delete registry;
    }
    LogInfo("Менеджер кодеков завершил работу.");
    return 0;
}

} // namespace

namespace CodecManager {

bool RegisterInitializer()
{
    if (!initializerRegistered) {
        Engine::AddInitializer(&InitializeCodecManager);
        initializerRegistered = true;
    }
    return true;
}

bool RegisterTerminator()
{
    if (!terminatorRegistered) {
        Engine::AddTerminator(&TerminateCodecManager);
        terminatorRegistered = true;
    }
    return true;
}

int RegisterCodec(Codec* codec)
{
    if (!codec) {
        LogWarning("Указатель на кодек равен 0 при регистрации.");
        return 3;
    }
    const String& name = codec->GetName();
    if (codecs && codecs->table.Find(name)) {
        LogWarning("Кодек с именем [%s] уже зарегестрирован.", name.GetBuffer());
        return 1;
    }
    if (!codecs || codecs->table.Insert(name, Pointer<Codec>(codec)) != 0) {
        LogWarning("Невозможно вставить кодек [%s] в таблицу кодеков.", name.GetBuffer());
        return 1;
    }
    if (codecs->order.Append(codec) != 0) {
        codecs->table.Remove(name);
        LogWarning("Невозможно вставить кодек [%s] в таблицу кодеков.", name.GetBuffer());
        return 1;
    }
    return 0;
}

Codec* FindCodec(const String& name)
{
    if (!codecs)
        return nullptr;
    Pointer<Codec>* found = codecs->table.Find(name);
    return found ? found->Get() : nullptr;
}

int LoadCodec(const String& name, Codec** codec)
{
    if (codec)
        *codec = nullptr;
    if (Codec* registered = FindCodec(name)) {
        if (codec)
            *codec = registered;
        return 0;
    }
    LogInfo("Загружается кодек [%s].", name.GetBuffer());
    Module* module = ModuleManager::FindModule(name);
    if (!module) {
        LogError("Не найден модуль для кодека [%s].", name.GetBuffer());
        return 3;
    }
    CreateCodecFunction create = nullptr;
    if (FindFunction(*module, &create, String("CreateCodec")) != 0 || !create) {
        LogError("В модуле не найдена функция создания кодека [%s].", name.GetBuffer());
        return 3;
    }
    Codec* created = nullptr;
    if (create(&created) != 0 || !created) {
        LogError("Создание кодека [%s] неудачно.", name.GetBuffer());
        return 1;
    }
    const Pointer<Codec> hold(created);
    created->SetModule(module);
    if (RegisterCodec(created) != 0) {
        LogError("Невозможно зарегестрировать кодек [%s].", name.GetBuffer());
        return 1;
    }
    if (codec)
        *codec = created;
    return 0;
}

Codec* FindCodecForFile(const VirtualFile* file)
{
    if (!codecs || !file)
        return nullptr;
    const uint32_t bucketCount = codecs->table.GetBucketCount();
    for (uint32_t bucket = 0; bucket < bucketCount; ++bucket) {
        for (int32_t i = 0; i < codecs->order.GetCount(); ++i) {
            Codec* codec = codecs->order[i];
            if (HashKey(codec->GetName()) % bucketCount == bucket && codec->Accepts(file) == 0)
                return codec;
        }
    }
    return nullptr;
}

int LoadSceneFromFile(VirtualFile* file, Pointer<Object>& root)
{
    root = nullptr;
    if (!file) {
        LogWarning("Указатель на файл или сцену равен 0.");
        return 3;
    }
    SceneCodec* codec = dynamic_cast<SceneCodec*>(FindCodecForFile(file));
    if (!codec) {
        LogWarning("Не найден кодек для файла [%s].", file->GetPath().GetBuffer());
        return 3;
    }
    if (codec->Load(file, root) != 0) {
        LogError("Неудачна загрузка сцены из файла [%s].", file->GetPath().GetBuffer());
        return 1;
    }
    return 0;
}

} // namespace CodecManager

} // namespace Vorn
