// A thing with a name: the base of type records, engine objects, log sinks, input
// handlers and the screensaver application.
#pragma once

#include "engine/core/String.h"

namespace Vorn {

class Named {
public:
    explicit Named(const String& initialName = String()) : name(initialName) {}
    virtual ~Named() {}
    virtual void SetName(const String& newName) { name = newName; }

    const String& GetName() const { return name; }

protected:
    String name;
};

} // namespace Vorn
