#include "engine/animation/Controller.h"

#include "engine/core/Log.h"
#include "engine/core/Stream.h"

namespace Vorn {

VORN_IMPLEMENT_ABSTRACT_CLASS(Controller, Object, "Vorn.Controller")

Controller::Controller(const String& controllerName) : Object(controllerName), active(true), controlledObject(nullptr)
{
}

void Controller::Update(double) {}

void Controller::Reset() {}

int Controller::Save(Stream& stream)
{
    if (Object::Save(stream) != 0) {
        LogError("Невозможно сохранить родительские данные. Имя[%s] ID[%d]", name.GetBuffer(), GetID());
        return 1;
    }
    if (stream.WriteBool(active) != 0) {
        LogError("Невозможно сохранить флаг активности контроллера. Имя[%s] ID[%d]", name.GetBuffer(), GetID());
        return 1;
    }
    return 0;
}

int Controller::Load(Stream& stream)
{
    if (Object::Load(stream) != 0) {
        LogError("Невозможно загрузить родительские данные. ID[%d]", GetID());
        return 1;
    }
    if (stream.ReadBool(active) != 0) {
        LogError("Невозможно загрузить флаг активности контроллера. ID[%d] Имя[%s]", GetID(), name.GetBuffer());
        return 1;
    }
    return 0;
}

} // namespace Vorn
