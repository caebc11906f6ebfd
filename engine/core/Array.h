// Growable array of plain elements (raw pointers, function pointers, Pointers, small
// records). Appending to a full array grows it by the fixed increment given at
// construction and copies the elements into the new buffer; an array whose increment is
// 0 refuses appends once it is full. Each owner chooses its initial capacity and increment.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>

namespace Vorn {

template <class T>
class Array {
public:
    Array(int32_t initialCapacity, int32_t growthIncrement)
        : elements(nullptr), count(0), capacity(0), increment(growthIncrement < 0 ? 0 : growthIncrement)
    {
        if (initialCapacity > 0 && Reallocate(initialCapacity))
            capacity = initialCapacity;
    }
    ~Array()
    {
        Clear();
        ::operator delete(elements);
    }
    Array(const Array&) = delete;
    Array& operator=(const Array&) = delete;

    // Status: 0 appended, 1 full with no increment, 2 out of memory.
    int Append(const T& element)
    {
        if (count == capacity) {
            if (increment == 0)
                return 1;
            if (!Reallocate(capacity + increment))
                return 2;
            capacity += increment;
        }
        new (&elements[count]) T(element);
        ++count;
        return 0;
    }

    // Later elements move down by one; their order is kept.
    void RemoveAt(int32_t index)
    {
        if (index < 0 || index >= count)
            return;
        for (int32_t i = index; i + 1 < count; ++i)
            elements[i] = std::move(elements[i + 1]);
        --count;
        elements[count].~T();
    }

    // Index of the first element equal to the given one, -1 when absent.
    int32_t Find(const T& element) const
    {
        for (int32_t i = 0; i < count; ++i)
            if (elements[i] == element)
                return i;
        return -1;
    }

    void Clear()
    {
        while (count > 0) {
            --count;
            elements[count].~T();
        }
    }

    int32_t GetCount() const { return count; }
    int32_t GetCapacity() const { return capacity; }
    int32_t GetIncrement() const { return increment; }
    T& operator[](int32_t index) { return elements[index]; }
    const T& operator[](int32_t index) const { return elements[index]; }

private:
    bool Reallocate(int32_t newCapacity)
    {
        T* fresh = static_cast<T*>(::operator new(sizeof(T) * static_cast<size_t>(newCapacity), std::nothrow));
        if (!fresh)
            return false;
        for (int32_t i = 0; i < count; ++i) {
            new (&fresh[i]) T(std::move(elements[i]));
            elements[i].~T();
        }
        ::operator delete(elements);
        elements = fresh;
        return true;
    }

    T* elements;
    int32_t count;
    int32_t capacity;
    int32_t increment;
};

} // namespace Vorn
