// The engine's byte stream: a buffer that grows by a fixed increment, a position, typed
// little-endian reads and writes, a sticky status and the identifier table that turns
// object references into identifiers and back. Its byte format is the scene file format.
//
// Object reference: -1 for null; the bare identifier of an object already seen since the
// last reset; otherwise a record of identifier, type name and the object's own Save
// data, nested depth first. Once the status is non-zero every read and write is refused
// until the owner resets the stream.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "engine/core/Array.h"
#include "engine/core/Engine.h"
#include "engine/core/HashTable.h"
#include "engine/core/Object.h"
#include "engine/core/Pointer.h"
#include "engine/core/String.h"

namespace Vorn {

struct Vector2;
struct Vector3;
struct Vector4;
struct Quaternion;
struct Color;
struct Transform;

class Stream {
public:
    // Records nested deeper than this are refused: a file cannot make the loader
    // recurse without bound.
    static constexpr int32_t MaxObjectDepth = 256;

    Stream(int32_t initialCapacity, int32_t growthIncrement);
    virtual ~Stream();
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;

    virtual int32_t GetSize() const { return capacity; }
    virtual int Write(const void* source, int32_t byteCount);
    virtual int Read(void* destination, int32_t byteCount);

    int WriteInt8(int32_t value);
    int WriteInt16(int32_t value);
    int WriteInt32(int32_t value);
    int WriteFloat(float value);
    int WriteDouble(double value);
    int WriteBool(bool value);
    int WriteString(const String& value);
    int WriteVector2(const Vector2& value);
    int WriteVector3(const Vector3& value);
    int WriteVector4(const Vector4& value);
    int WriteQuaternion(const Quaternion& value);
    int WriteColor(const Color& value);
    int WriteTransform(const Transform& value);
    int WriteVersion(const EngineVersion& value);
    int WriteObject(Object* object);

    int ReadInt8(int8_t& value);
    int ReadInt16(int16_t& value);
    int ReadInt32(int32_t& value);
    int ReadFloat(float& value);
    int ReadDouble(double& value);
    int ReadBool(bool& value);
    int ReadString(String& value);
    int ReadVector2(Vector2& value);
    int ReadVector3(Vector3& value);
    int ReadVector4(Vector4& value);
    int ReadQuaternion(Quaternion& value);
    int ReadColor(Color& value);
    int ReadTransform(Transform& value);
    int ReadVersion(EngineVersion& value);
    // The object arrives with no reference of the caller's: take hold of it.
    int ReadObject(Object*& object);
    // The same, refusing an object that is not of the expected type (or derived from it).
    template <class T>
    int ReadObject(T*& object)
    {
        Object* read = nullptr;
        object = nullptr;
        if (ReadObject(read) != 0)
            return status;
        if (read && !read->IsKindOf(T::TYPE))
            return RefuseType(read, T::TYPE);
        object = static_cast<T*>(read);
        return status;
    }

    // A count read from the data is refused (status 1) when it is negative or when that
    // many elements of at least minimumBytes each cannot fit in what is left to read,
    // so that a damaged count never drives a large allocation or a long loop.
    int CheckCount(int32_t count, int32_t minimumBytes);

    // Position, identifier table and status back to their start; the buffer is kept.
    void Reset();
    int GetStatus() const { return status; }
    int32_t GetPosition() const { return position; }
    void SetPosition(int32_t newPosition) { position = newPosition; }
    int32_t GetRemaining() const { return capacity > position ? capacity - position : 0; }
    uint8_t* GetBuffer() const { return buffer; }
    int32_t GetCapacity() const { return capacity; }
    int32_t GetIncrement() const { return increment; }

protected:
    // Gives the stream a buffer of valid bytes to read (files fill it from storage).
    void AdoptBuffer(uint8_t* bytes, int32_t byteCount);
    void FreeBuffer();

    uint8_t* buffer;   // may be null while the capacity is 0
    int32_t capacity;  // bytes held; for reading, the number of valid bytes
    int32_t increment; // bytes added each time a write does not fit
    int32_t position;
    HashTable<int32_t, Object*> identifiers;
    int status;

private:
    // Floats one after another; a failed one leaves the rest unread (the status is sticky).
    int WriteFloats(std::initializer_list<float> values);
    int ReadFloats(std::initializer_list<float*> values);
    int RefuseType(Object* object, const Rtti& expected);

    // Objects created by this stream's loads are held here until the next reset, so
    // that a load failing half way frees what it made instead of leaking it.
    Array<Pointer<Object>> created;
    int32_t depth;
};

// Scene files: the engine version, then exactly one object reference (the root).
// Reading refuses files older than the engine's version; newer ones are accepted.
int WriteScene(Stream& stream, Object* root);
int ReadScene(Stream& stream, Pointer<Object>& root);

} // namespace Vorn
