#include "engine/core/HashTable.h"

namespace Vorn {

uint32_t HashString(const String& key)
{
    uint32_t hash = 0;
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(key.GetBuffer());
    for (int32_t i = key.GetLength() - 1; i >= 1; --i)
        hash = (hash << 2) | bytes[i];
    return hash;
}

uint32_t HashInteger(int32_t key)
{
    const uint32_t bits = static_cast<uint32_t>(key);
    uint32_t hash = 0;
    for (int shift = 24; shift >= 8; shift -= 8)
        hash = (hash << 2) | ((bits >> shift) & 0xFFu);
    return hash;
}

} // namespace Vorn
