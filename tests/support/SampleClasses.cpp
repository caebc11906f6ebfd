#include "tests/support/SampleClasses.h"

#include "engine/core/Log.h"
#include "engine/core/Stream.h"

namespace Vorn {

VORN_IMPLEMENT_CLASS(SampleNode, Object, "Test.SampleNode")
VORN_IMPLEMENT_CLASS(SampleController, Controller, "Test.SampleController")
VORN_IMPLEMENT_ABSTRACT_CLASS(SampleBase, Object, "Test.SampleBase")

void SampleNode::AddChild(SampleNode* child)
{
    children.Append(Pointer<SampleNode>(child));
    child->parent = this;
}

Object* SampleNode::GetObjectByName(const String& wanted)
{
    if (Object* found = Object::GetObjectByName(wanted))
        return found;
    for (int32_t i = 0; i < children.GetCount(); ++i)
        if (Object* found = children[i]->GetObjectByName(wanted))
            return found;
    return nullptr;
}

int SampleNode::Save(Stream& stream)
{
    if (Object::Save(stream) != 0)
        return 1;
    stream.WriteFloat(weight);
    stream.WriteDouble(time);
    stream.WriteBool(flag);
    stream.WriteTransform(transform);
    stream.WriteColor(color);
    stream.WriteObject(parent);
    stream.WriteObject(other);
    stream.WriteInt32(children.GetCount());
    for (int32_t i = 0; i < children.GetCount(); ++i)
        stream.WriteObject(children[i].Get());
    return stream.GetStatus() == 0 ? 0 : 1;
}

int SampleNode::Load(Stream& stream)
{
    if (Object::Load(stream) != 0)
        return 1;
    stream.ReadFloat(weight);
    stream.ReadDouble(time);
    stream.ReadBool(flag);
    stream.ReadTransform(transform);
    stream.ReadColor(color);
    stream.ReadObject(parent);
    stream.ReadObject(other);
    int32_t count = 0;
    if (stream.ReadInt32(count) != 0 || stream.CheckCount(count, 4) != 0)
        return 1;
    for (int32_t i = 0; i < count; ++i) {
        SampleNode* child = nullptr;
        if (stream.ReadObject(child) != 0)
            return 1;
        if (child)
            children.Append(Pointer<SampleNode>(child));
    }
    return 0;
}

void SampleController::Update(double elapsedSeconds)
{
    if (!active)
        return;
    ++updates;
    elapsed += elapsedSeconds;
}

} // namespace Vorn
