// Owning reference to a RefCounted object. Assigning another object lets go of the old
// one and takes hold of the new one; assigning the held object changes nothing.
#pragma once

#include <cstddef>

namespace Vorn {

template <class T>
class Pointer {
public:
    Pointer() : object(nullptr) {}
    Pointer(std::nullptr_t) : object(nullptr) {}
    Pointer(T* target) : object(target) { Hold(); }
    Pointer(const Pointer& other) : object(other.object) { Hold(); }
    template <class U>
    Pointer(const Pointer<U>& other) : object(other.Get()) { Hold(); }
    ~Pointer() { Let(); }

    Pointer& operator=(T* target)
    {
        if (target != object) {
            T* old = object;
            object = target;
            Hold();
            if (old)
                old->ReleaseReference();
        }
        return *this;
    }
    Pointer& operator=(const Pointer& other) { return *this = other.object; }

    T* Get() const { return object; }
    T* operator->() const { return object; }
    T& operator*() const { return *object; }
    explicit operator bool() const { return object != nullptr; }
    bool operator==(const Pointer& other) const { return object == other.object; }
    bool operator!=(const Pointer& other) const { return object != other.object; }
    bool operator==(const T* other) const { return object == other; }
    bool operator!=(const T* other) const { return object != other; }

private:
    void Hold()
    {
        if (object)
            object->AddReference();
    }
    void Let()
    {
        if (object) {
            T* old = object;
            object = nullptr;
            old->ReleaseReference();
        }
    }

    T* object;
};

} // namespace Vorn
