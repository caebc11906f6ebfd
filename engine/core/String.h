// The engine's byte string: a heap buffer with a stored 32-bit length and one extra
// terminating zero, so the data can always be handed on as a C string. Text is
// single-byte (messages are Windows-1251); equality compares length and bytes.
#pragma once

#include <cstdint>

namespace Vorn {

class String {
public:
    String();
    String(const char* text);
    String(const char* bytes, int32_t length);
    String(const String& other);
    ~String();

    // A string of the same length is copied into the existing buffer; any other
    // length frees the buffer and allocates a new one.
    String& operator=(const String& other);
    String& operator=(const char* text);

    bool operator==(const String& other) const;
    bool operator!=(const String& other) const { return !(*this == other); }

    int32_t GetLength() const { return length; }
    bool IsEmpty() const { return length == 0; }
    const char* GetBuffer() const { return buffer; }
    char operator[](int32_t index) const { return buffer[index]; }

private:
    void Assign(const char* bytes, int32_t newLength);

    char* buffer; // never null: an empty string owns a one-byte buffer
    int32_t length;
};

} // namespace Vorn
