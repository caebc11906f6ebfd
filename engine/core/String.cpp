#include "engine/core/String.h"

#include <cstring>
#include <new>

namespace Vorn {

namespace {

// Shared by strings whose allocation failed, so that the buffer is never null.
char emptyFallback[1] = { 0 };

char* AllocateText(int32_t length)
{
    return new (std::nothrow) char[static_cast<size_t>(length) + 1];
}

void FreeText(char* text)
{
    if (text != emptyFallback)
        delete[] text;
}

} // namespace

String::String() : buffer(nullptr), length(0)
{
    Assign("", 0);
}

String::String(const char* text) : buffer(nullptr), length(0)
{
    Assign(text ? text : "", text ? static_cast<int32_t>(std::strlen(text)) : 0);
}

String::String(const char* bytes, int32_t byteCount) : buffer(nullptr), length(0)
{
    Assign(bytes, byteCount < 0 ? 0 : byteCount);
}

String::String(const String& other) : buffer(nullptr), length(0)
{
    Assign(other.buffer, other.length);
}

String::~String()
{
    FreeText(buffer);
}

String& String::operator=(const String& other)
{
    if (this != &other)
        Assign(other.buffer, other.length);
    return *this;
}

String& String::operator=(const char* text)
{
    String copy(text);
    Assign(copy.buffer, copy.length);
    return *this;
}

bool String::operator==(const String& other) const
{
    return length == other.length && std::memcmp(buffer, other.buffer, static_cast<size_t>(length)) == 0;
}

void String::Assign(const char* bytes, int32_t newLength)
{
    if (buffer == nullptr || newLength != length) {
        char* fresh = AllocateText(newLength);
        if (!fresh) {
            FreeText(buffer);
            buffer = emptyFallback;
            length = 0;
            return;
        }
        FreeText(buffer);
        buffer = fresh;
        length = newLength;
    }
    if (newLength > 0)
        std::memmove(buffer, bytes, static_cast<size_t>(newLength));
    buffer[newLength] = 0;
}

} // namespace Vorn
