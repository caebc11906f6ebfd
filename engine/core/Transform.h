// Scale-rotation-translation of a node: a point is scaled component-wise, rotated, then
// translated. The two flags let identity transforms skip work; only the default transform
// has them set (a copy keeps its source's flags), and any transform built from values has
// them cleared even when the values are those of the identity.
#pragma once

#include "engine/core/Matrix4.h"
#include "engine/core/Quaternion.h"
#include "engine/core/Vector3.h"

namespace Vorn
{

struct Transform
{
    Vector3 scale = Vector3(1.0f, 1.0f, 1.0f);
    Quaternion rotation;
    Vector3 translation;
    bool isIdentity = true;           // not stored: a transform read back has both cleared
    bool rotationIsIdentity = true;

    Transform() = default;
    Transform(const Vector3& translation, const Quaternion& rotation, const Vector3& scale);

    Vector3 ApplyToPoint(const Vector3& p) const;
    // As ApplyToPoint without the translation.
    Vector3 ApplyToVector(const Vector3& v) const;

    // World transform of a node from its local transform and its parent's world transform.
    // Agrees with local.ToMatrix() * parent.ToMatrix() when the parent's scale is uniform;
    // otherwise the scales are multiplied component-wise, which cannot express the shear
    // that the matrix product would give a rotated child.
    static Transform Compose(const Transform& local, const Transform& parent);

    // Rows 0-2: the rotation rows scaled by scale.x, .y, .z; row 3: translation, 1.
    Matrix4 ToMatrix() const;
};

} // namespace Vorn
