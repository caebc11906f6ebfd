// Small persistent classes for exercising the object system and the stream: a node
// with owned children, a raw back reference to its parent and a few typed fields, and a
// controller that counts its updates.
#pragma once

#include "engine/animation/Controller.h"
#include "engine/core/Color.h"
#include "engine/core/Object.h"
#include "engine/core/Transform.h"

namespace Vorn {

class SampleNode : public Object {
    VORN_DECLARE_CLASS(SampleNode)
public:
    explicit SampleNode(const String& nodeName = String()) : Object(nodeName) {}

    int Save(Stream& stream) override;
    int Load(Stream& stream) override;
    Object* GetObjectByName(const String& wanted) override;

    void AddChild(SampleNode* child);
    int32_t GetChildCount() const { return children.GetCount(); }
    SampleNode* GetChild(int32_t index) const { return children[index].Get(); }

    SampleNode* parent = nullptr; // raw: children do not keep their parent alive
    Object* other = nullptr;      // any object, not owned (may be this node itself)
    float weight = 0.0f;
    double time = 0.0;
    bool flag = false;
    Transform transform;
    Color color;

private:
    Array<Pointer<SampleNode>> children{ 0, 4 };
};

VORN_REGISTER_CLASS(SampleNode)

class SampleController : public Controller {
    VORN_DECLARE_CLASS(SampleController)
public:
    explicit SampleController(const String& controllerName = String()) : Controller(controllerName) {}
    void Update(double elapsedSeconds) override;

    int updates = 0;
    double elapsed = 0.0;
};

VORN_REGISTER_CLASS(SampleController)

// Abstract in the factory, like the engine's own base classes.
class SampleBase : public Object {
    VORN_DECLARE_CLASS(SampleBase)
};

VORN_REGISTER_CLASS(SampleBase)

} // namespace Vorn
