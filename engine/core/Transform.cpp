#include "engine/core/Transform.h"

namespace Vorn
{

Transform::Transform(const Vector3& translation, const Quaternion& rotation,
                     const Vector3& scale)
    : scale(scale), rotation(rotation), translation(translation), isIdentity(false),
      rotationIsIdentity(false)
{
}

Vector3 Transform::ApplyToPoint(const Vector3& p) const
{
    if (isIdentity)
        return p;
    return ApplyToVector(p) + translation;
}

Vector3 Transform::ApplyToVector(const Vector3& v) const
{
    if (isIdentity)
        return v;
    const Vector3 scaled = v * scale;
    if (rotationIsIdentity)
        return scaled;
    return rotation.Rotate(scaled);
}

Transform Transform::Compose(const Transform& local, const Transform& parent)
{
    if (local.isIdentity)
        return parent;
    if (parent.isIdentity)
        return local;

    Quaternion rotation;
    if (local.rotationIsIdentity)
        rotation = parent.rotation;
    else if (parent.rotationIsIdentity)
        rotation = local.rotation;
    else
        rotation = local.rotation * parent.rotation;
    return Transform(parent.ApplyToPoint(local.translation), rotation,
                     local.scale * parent.scale);
}

Matrix4 Transform::ToMatrix() const
{
    const Matrix3 r = rotation.ToMatrix3();
    const Matrix3 scaled(r.Row(0) * scale.x, r.Row(1) * scale.y, r.Row(2) * scale.z, false);
    return Matrix4(scaled, translation);
}

} // namespace Vorn
