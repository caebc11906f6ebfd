// Type name → create function, filled by the class initialisers when the engine starts
// and emptied by their terminators. The stream loader creates objects through it.
#pragma once

#include "engine/core/HashTable.h"

namespace Vorn {

class Object;

// Stores a new object (empty name, reference count 0) and returns 0; 2 when memory ran
// out; 1 for an abstract class, which stores nothing.
using CreateFunction = int (*)(Object** out);

namespace FactoryTable {

// Status 0 inserted, 1 the name is already registered (the first entry stays), 2 no memory.
int Insert(const String& typeName, CreateFunction create);
int Remove(const String& typeName);
// Null for names nobody registered.
CreateFunction Find(const String& typeName);

} // namespace FactoryTable

} // namespace Vorn
