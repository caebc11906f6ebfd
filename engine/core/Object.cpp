#include "engine/core/Object.h"

#include "engine/animation/Controller.h"
#include "engine/core/Log.h"
#include "engine/core/Stream.h"

namespace Vorn {

namespace {

// Every construction takes the next identifier; they are never reused.
int32_t nextObjectId = 0;

} // namespace

struct Object::ControllerNode {
    Pointer<Controller> controller;
    ControllerNode* next;
};

const Rtti Object::TYPE("Vorn.Object", nullptr);
bool Object::classRegistered = false;

bool Object::RegisterType()
{
    return RegisterOnce(classRegistered, &Object::InitializeClass, &Object::TerminateClass);
}

int Object::InitializeClass()
{
    if (FactoryTable::Insert(TYPE.GetName(), &Object::Create) != 0) {
        LogCritical("Инициализация класса [Object] прошла неудачно.");
        return 1;
    }
    LogInfo("Инициализация класса [Object] прошла удачно.");
    return 0;
}

int Object::TerminateClass()
{
    FactoryTable::Remove(TYPE.GetName());
    LogInfo("Завершение работы класса [Object] прошло удачно.");
    return 0;
}

int Object::Create(Object**)
{
    LogCritical("Создание объекта абстрактного класса [Object].");
    return 1;
}

Object::Object(const String& objectName) : Named(objectName), id(nextObjectId++), controllers(nullptr) {}

Object::~Object()
{
    DetachAllControllers();
}

void Object::DetachAllControllers()
{
    while (ControllerNode* node = controllers) {
        controllers = node->next;
        delete node;
    }
}

int Object::AttachController(Controller* controller)
{
    if (!controller) {
        LogWarning("Указатель на устанавливаемый контроллер равен 0. Имя[%s] ID[%d]", name.GetBuffer(), id);
        return 3;
    }
    ControllerNode* node = new (std::nothrow) ControllerNode{ Pointer<Controller>(controller), controllers };
    if (!node) {
        LogWarning("Недостаточно памяти для создания узла списка при установке контроллера. Имя[%s] ID[%d]",
                   name.GetBuffer(), id);
        return 2;
    }
    controllers = node;
    controller->SetControlledObject(this);
    return 0;
}

int32_t Object::GetControllerCount() const
{
    int32_t count = 0;
    for (const ControllerNode* node = controllers; node; node = node->next)
        ++count;
    return count;
}

Pointer<Controller> Object::GetController(int32_t index) const
{
    const ControllerNode* node = controllers;
    for (int32_t i = 0; node && i < index; ++i)
        node = node->next;
    return (node && index >= 0) ? node->controller : Pointer<Controller>();
}

Object* Object::GetObjectByName(const String& wanted)
{
    if (name == wanted)
        return this;
    for (ControllerNode* node = controllers; node; node = node->next)
        if (Object* found = node->controller->GetObjectByName(wanted))
            return found;
    return nullptr;
}

void Object::CollectObjectsByType(const Rtti& type, Array<Object*>& found)
{
    if (IsKindOf(type))
        found.Append(this);
    for (ControllerNode* node = controllers; node; node = node->next)
        node->controller->CollectObjectsByType(type, found);
}

void Object::UpdateControllers(double elapsedSeconds)
{
    for (ControllerNode* node = controllers; node; node = node->next)
        node->controller->Update(elapsedSeconds);
}

// Controllers are written from the end of the list, the earliest attached first, so that
// loading (which puts each at the head) rebuilds the same order.
int Object::Save(Stream& stream)
{
    if (stream.WriteString(name) != 0) {
        LogError("Невозможно сохранить имя объекта. Имя[%s] ID[%d]", name.GetBuffer(), id);
        return 1;
    }
    const int32_t count = GetControllerCount();
    if (stream.WriteInt32(count) != 0) {
        LogError("Невозможно сохранить количество контроллеров объекта. Имя[%s] ID[%d]", name.GetBuffer(), id);
        return 1;
    }
    for (int32_t index = count - 1; index >= 0; --index) {
        if (stream.WriteObject(GetController(index).Get()) != 0) {
            LogError("Невозможно сохранить контроллер объекта. Имя[%s] ID[%d]", name.GetBuffer(), id);
            return 1;
        }
    }
    return 0;
}

int Object::Load(Stream& stream)
{
    String loadedName;
    if (stream.ReadString(loadedName) != 0) {
        LogError("Невозможно загрузить имя объекта. ID[%d]", id);
        return 1;
    }
    SetName(loadedName);
    int32_t count = 0;
    // Each controller reference takes at least four bytes.
    if (stream.ReadInt32(count) != 0 || stream.CheckCount(count, 4) != 0) {
        LogError("Невозможно загрузить количество контроллеров объекта. Имя[%s] ID[%d]", name.GetBuffer(), id);
        return 1;
    }
    for (int32_t i = 0; i < count; ++i) {
        Controller* controller = nullptr;
        if (stream.ReadObject(controller) != 0) {
            LogError("Невозможно загрузить контроллер объекта. Имя[%s] ID[%d]", name.GetBuffer(), id);
            return 1;
        }
        if (AttachController(controller) != 0) {
            LogError("Невозможно установить контроллер объекта. Имя[%s] ID[%d]", name.GetBuffer(), id);
            return 1;
        }
    }
    return 0;
}

} // namespace Vorn
