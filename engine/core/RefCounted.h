// Intrusive reference counting. A new object starts with count 0 and belongs to nobody
// until a Pointer or a container takes hold of it; letting go of the last reference
// destroys it through the virtual destructor.
#pragma once

#include <cstdint>

namespace Vorn {

class RefCounted {
public:
    RefCounted() : references(0) {}
    virtual ~RefCounted();
    RefCounted(const RefCounted&) : references(0) {}
    RefCounted& operator=(const RefCounted&) { return *this; }

    void AddReference() { ++references; }
    // Destroys the object when the count reaches 0.
    void ReleaseReference()
    {
        if (--references <= 0)
            delete this;
    }
    int32_t GetReferenceCount() const { return references; }

private:
    int32_t references;
};

} // namespace Vorn
