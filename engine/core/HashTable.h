// Chained hash table with a bucket count fixed at construction (32 in every use). A new
// entry goes to the end of its bucket's chain, lookup returns the first equal key, and an
// insertion whose key is already present is refused. The bucket index is the hash modulo
// the bucket count, both unsigned.
#pragma once

#include <cstdint>
#include <new>

#include "engine/core/String.h"

namespace Vorn {

// The engine's two key hashes. Both ignore the lowest byte of the key on purpose: the
// string hash starts at the last byte and stops before the first, the integer hash takes
// bytes 3, 2 and 1.
uint32_t HashString(const String& key);
uint32_t HashInteger(int32_t key);

inline uint32_t HashKey(const String& key) { return HashString(key); }
inline uint32_t HashKey(int32_t key) { return HashInteger(key); }

template <class Key, class Value>
class HashTable {
public:
    explicit HashTable(uint32_t numBuckets = 32)
        : bucketCount(numBuckets == 0 ? 1 : numBuckets), buckets(nullptr), count(0)
    {
        buckets = new (std::nothrow) Entry*[bucketCount]();
    }
    ~HashTable()
    {
        Clear();
        delete[] buckets;
    }
    HashTable(const HashTable&) = delete;
    HashTable& operator=(const HashTable&) = delete;

    // Status: 0 inserted, 1 an equal key is present, 2 out of memory.
    int Insert(const Key& key, const Value& value)
    {
        if (!buckets)
            return 2;
        Entry** link = &buckets[HashKey(key) % bucketCount];
        for (; *link; link = &(*link)->next)
            if ((*link)->key == key)
                return 1;
        Entry* entry = new (std::nothrow) Entry{ key, value, nullptr };
        if (!entry)
            return 2;
        *link = entry;
        ++count;
        return 0;
    }

    // The value stored for an equal key, or null.
    Value* Find(const Key& key) const
    {
        if (!buckets)
            return nullptr;
        for (Entry* entry = buckets[HashKey(key) % bucketCount]; entry; entry = entry->next)
            if (entry->key == key)
                return &entry->value;
        return nullptr;
    }

    // Status: 0 removed, 3 not present.
    int Remove(const Key& key)
    {
        if (!buckets)
            return 3;
        for (Entry** link = &buckets[HashKey(key) % bucketCount]; *link; link = &(*link)->next) {
            if ((*link)->key == key) {
                Entry* entry = *link;
                *link = entry->next;
                delete entry;
                --count;
                return 0;
            }
        }
        return 3;
    }

    void Clear()
    {
        if (!buckets)
            return;
        for (uint32_t i = 0; i < bucketCount; ++i) {
            while (Entry* entry = buckets[i]) {
                buckets[i] = entry->next;
                delete entry;
            }
        }
        count = 0;
    }

    int32_t GetCount() const { return count; }
    uint32_t GetBucketCount() const { return bucketCount; }

private:
    struct Entry {
        Key key;
        Value value;
        Entry* next;
    };

    uint32_t bucketCount;
    Entry** buckets;
    int32_t count;
};

} // namespace Vorn
