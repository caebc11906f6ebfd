// A controller is attached to one object and changes it as time passes; every frame the
// scene update hands it the seconds since the previous frame. The controlled object is a
// raw pointer: the object owns its controllers, not the other way round.
#pragma once

#include "engine/core/Object.h"

namespace Vorn {

class Controller : public Object {
    VORN_DECLARE_CLASS(Controller)
public:
    explicit Controller(const String& controllerName = String());

    int Save(Stream& stream) override;
    int Load(Stream& stream) override;

    // Each derived class tests the active flag first; this one does nothing.
    virtual void Update(double elapsedSeconds);
    virtual void Reset();

    bool IsActive() const { return active; }
    void SetActive(bool isActive) { active = isActive; }
    Object* GetControlledObject() const { return controlledObject; }
    void SetControlledObject(Object* object) { controlledObject = object; }

protected:
    bool active;              // persistent; true after construction
    Object* controlledObject; // set by AttachController, not stored
};

VORN_REGISTER_CLASS(Controller)

} // namespace Vorn
