#include "engine/core/FactoryTable.h"

namespace Vorn {

namespace {

HashTable<String, CreateFunction>& Table()
{
    static HashTable<String, CreateFunction> table(32);
    return table;
}

} // namespace

namespace FactoryTable {

int Insert(const String& typeName, CreateFunction create)
{
    return Table().Insert(typeName, create);
}

int Remove(const String& typeName)
{
    return Table().Remove(typeName);
}

CreateFunction Find(const String& typeName)
{
    CreateFunction* create = Table().Find(typeName);
    return create ? *create : nullptr;
}

} // namespace FactoryTable

} // namespace Vorn
