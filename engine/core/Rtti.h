// Run-time type record: one static instance per class, named "Vorn.<Class>" and linked
// to its parent class's record. Two types are the same exactly when their records are
// the same object.
#pragma once

#include "engine/core/Named.h"

namespace Vorn {

class Rtti : public Named {
public:
    Rtti(const char* typeName, const Rtti* parentType) : Named(String(typeName)), parent(parentType) {}

    const Rtti* GetParent() const { return parent; }
    // A type is derived from itself.
    bool IsDerivedFrom(const Rtti& other) const
    {
        for (const Rtti* type = this; type; type = type->parent)
            if (type == &other)
                return true;
        return false;
    }

private:
    const Rtti* parent; // null only for Object
};

} // namespace Vorn
