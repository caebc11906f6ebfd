// Every persistent thing of the engine is an Object: a name, an identifier no other
// object of the process shares, a reference count, a type record, a list of attached
// controllers, and the ability to write itself to and read itself from a Stream.
// Classes register a create function under their type name so that the stream loader
// can make them by name.
#pragma once

#include <cstdint>
#include <new>

#include "engine/core/Array.h"
#include "engine/core/Engine.h"
#include "engine/core/FactoryTable.h"
#include "engine/core/Named.h"
#include "engine/core/Pointer.h"
#include "engine/core/RefCounted.h"
#include "engine/core/Rtti.h"

namespace Vorn {

class Controller;
class Stream;

// Declares the type record, the create function and the registration of a class that
// derives from Object; pair it with VORN_IMPLEMENT_CLASS or VORN_IMPLEMENT_ABSTRACT_CLASS
// in the class's source and VORN_REGISTER_CLASS after the class in its header.
#define VORN_DECLARE_CLASS(Class)                                      \
public:                                                                \
    static const ::Vorn::Rtti TYPE;                                    \
    const ::Vorn::Rtti& GetType() const override { return TYPE; }      \
    static int Create(::Vorn::Object** out);                           \
    static bool RegisterType();                                       \
                                                                       \
private:                                                               \
    static int InitializeClass();                                      \
    static int TerminateClass();                                       \
    static bool classRegistered;                                       \
                                                                       \
public:

// Runs in the static initialisation of every file that includes the class's header.
#define VORN_REGISTER_CLASS(Class) \
    [[maybe_unused]] static const bool Class##ClassRegistration = Class::RegisterType();

#define VORN_IMPLEMENT_CLASS_RECORD(Class, Parent, typeName)                                        \
    const ::Vorn::Rtti Class::TYPE(typeName, &Parent::TYPE);                                        \
    bool Class::classRegistered = false;                                                            \
    bool Class::RegisterType()                                                                     \
    {                                                                                               \
        return ::Vorn::RegisterOnce(classRegistered, &Class::InitializeClass, &Class::TerminateClass); \
    }                                                                                               \
    int Class::InitializeClass() { return ::Vorn::FactoryTable::Insert(TYPE.GetName(), &Class::Create) == 0 ? 0 : 1; } \
    int Class::TerminateClass()                                                                     \
    {                                                                                               \
        ::Vorn::FactoryTable::Remove(TYPE.GetName());                                               \
        return 0;                                                                                   \
    }

#define VORN_IMPLEMENT_CLASS(Class, Parent, typeName)          \
    VORN_IMPLEMENT_CLASS_RECORD(Class, Parent, typeName)       \
    int Class::Create(::Vorn::Object** out)                    \
    {                                                          \
        Class* created = new (std::nothrow) Class();           \
        if (!created)                                          \
            return 2;                                          \
        *out = created;                                        \
        return 0;                                              \
    }

#define VORN_IMPLEMENT_ABSTRACT_CLASS(Class, Parent, typeName) \
    VORN_IMPLEMENT_CLASS_RECORD(Class, Parent, typeName)       \
    int Class::Create(::Vorn::Object**) { return 1; }

class Object : public Named, public virtual RefCounted {
public:
    static const Rtti TYPE;
    static int Create(Object** out);
    static bool RegisterType();

    explicit Object(const String& objectName = String());
    ~Object() override;

    virtual const Rtti& GetType() const { return TYPE; }

    // Persistence: Object's part is the name and the controller references, earliest
    // attached first. Status 0 or 1; failures are logged.
    virtual int Save(Stream& stream);
    virtual int Load(Stream& stream);

    // This object when its name matches, else the first match among what it owns.
    virtual Object* GetObjectByName(const String& wanted);
    // Appends this object (raw, no reference) when it is of the type or derived from it,
    // then asks what it owns.
    virtual void CollectObjectsByType(const Rtti& type, Array<Object*>& found);
    virtual void UpdateControllers(double elapsedSeconds);

    int32_t GetID() const { return id; }
    bool IsKindOf(const Rtti& type) const { return GetType().IsDerivedFrom(type); }

    // Controllers: the newest is at index 0. Attaching one twice lists it twice.
    int AttachController(Controller* controller);
    int32_t GetControllerCount() const;
    Pointer<Controller> GetController(int32_t index) const;
    void DetachAllControllers();

private:
    static int InitializeClass();
    static int TerminateClass();
    static bool classRegistered;

    struct ControllerNode;

    int32_t id;
    ControllerNode* controllers; // head = most recently attached
};

VORN_REGISTER_CLASS(Object)

} // namespace Vorn
