#include "engine/core/Stream.h"

#include <cstring>
#include <new>

#include "engine/core/Color.h"
#include "engine/core/Log.h"
#include "engine/core/Quaternion.h"
#include "engine/core/Transform.h"
#include "engine/core/Vector2.h"
#include "engine/core/Vector3.h"
#include "engine/core/Vector4.h"

namespace Vorn {

Stream::Stream(int32_t initialCapacity, int32_t growthIncrement)
    : buffer(nullptr), capacity(0), increment(growthIncrement < 0 ? 0 : growthIncrement), position(0),
      identifiers(32), status(0), created(0, 256), depth(0)
{
    if (initialCapacity > 0) {
        buffer = new (std::nothrow) uint8_t[initialCapacity];
        if (buffer) {
            capacity = initialCapacity;
        } else {
            LogError("Недостаточно памяти для создания буффера потока.");
            status = 2;
        }
    }
}

Stream::~Stream()
{
    FreeBuffer();
}

void Stream::FreeBuffer()
{
    delete[] buffer;
    buffer = nullptr;
    capacity = 0;
}

void Stream::AdoptBuffer(uint8_t* bytes, int32_t byteCount)
{
    FreeBuffer();
    buffer = bytes;
    capacity = bytes ? byteCount : 0;
}

void Stream::Reset()
{
    position = 0;
    status = 0;
    depth = 0;
    identifiers.Clear();
    created.Clear();
}

int Stream::Write(const void* source, int32_t byteCount)
{
    if (status != 0) {
        LogWarning("Неправильное состояние потока.");
        return status;
    }
    if (byteCount < 0) {
        status = 1;
        return status;
    }
    // The buffer grows by exactly one increment per step, never by doubling.
    while (static_cast<int64_t>(position) + byteCount > capacity) {
        const int64_t grown = static_cast<int64_t>(capacity) + increment;
        if (increment == 0) {
            LogWarning("Приращение буффера равно 0.");
            status = 1;
        } else if (grown > INT32_MAX) {
            status = 2;
        } else {
            uint8_t* fresh = new (std::nothrow) uint8_t[static_cast<size_t>(grown)];
            if (fresh) {
                if (buffer)
                    std::memcpy(fresh, buffer, static_cast<size_t>(capacity));
                delete[] buffer;
                buffer = fresh;
                capacity = static_cast<int32_t>(grown);
                continue;
            }
            LogError("Недостаточно памяти для создания буффера потока.");
            status = 2;
        }
        LogWarning("Невозможно записать данные вследствие малого размера буффера.");
        return status;
    }
    if (byteCount > 0)
        std::memcpy(buffer + position, source, static_cast<size_t>(byteCount));
    position += byteCount;
    return status;
}

int Stream::Read(void* destination, int32_t byteCount)
{
    if (status != 0) {
        LogWarning("Неправильное состояние потока.");
        return status;
    }
    if (!buffer) {
        LogWarning("Невозможно считать данные. Буффер не существует.");
        status = 1;
        return status;
    }
    if (byteCount < 0 || static_cast<int64_t>(position) + byteCount > capacity) {
        LogWarning("Невозможно считать данные. Буффер переполнен.");
        status = 1;
        return status;
    }
    if (byteCount > 0)
        std::memcpy(destination, buffer + position, static_cast<size_t>(byteCount));
    position += byteCount;
    return status;
}

int Stream::CheckCount(int32_t count, int32_t minimumBytes)
{
    if (status != 0)
        return status;
    if (count < 0 || static_cast<int64_t>(count) * (minimumBytes > 0 ? minimumBytes : 1) > GetRemaining()) {
        LogError("Неверное количество элементов в потоке [%d].", count);
        status = 1;
    }
    return status;
}

// --- little-endian primitives --------------------------------------------------------

namespace {

void PutLittleEndian(uint8_t* bytes, uint32_t value, int byteCount)
{
    for (int i = 0; i < byteCount; ++i)
        bytes[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t GetLittleEndian(const uint8_t* bytes, int byteCount)
{
    uint32_t value = 0;
    for (int i = 0; i < byteCount; ++i)
        value |= static_cast<uint32_t>(bytes[i]) << (8 * i);
    return value;
}

} // namespace

int Stream::WriteInt8(int32_t value)
{
    const uint8_t byte = static_cast<uint8_t>(value);
    return Write(&byte, 1);
}

int Stream::WriteInt16(int32_t value)
{
    uint8_t bytes[2];
    PutLittleEndian(bytes, static_cast<uint32_t>(value), 2);
    return Write(bytes, 2);
}

int Stream::WriteInt32(int32_t value)
{
    uint8_t bytes[4];
    PutLittleEndian(bytes, static_cast<uint32_t>(value), 4);
    return Write(bytes, 4);
}

int Stream::WriteFloat(float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    return WriteInt32(static_cast<int32_t>(bits));
}

int Stream::WriteDouble(double value)
{
    uint64_t bits;
    std::memcpy(&bits, &value, 8);
    WriteInt32(static_cast<int32_t>(static_cast<uint32_t>(bits)));
    return WriteInt32(static_cast<int32_t>(static_cast<uint32_t>(bits >> 32)));
}

int Stream::WriteBool(bool value)
{
    return WriteInt8(value ? 1 : 0);
}

int Stream::WriteString(const String& value)
{
    WriteInt32(value.GetLength());
    return Write(value.GetBuffer(), value.GetLength());
}

int Stream::WriteFloats(std::initializer_list<float> values)
{
    for (float value : values)
        WriteFloat(value);
    return status;
}

int Stream::WriteVector2(const Vector2& value) { return WriteFloats({ value.x, value.y }); }
int Stream::WriteVector3(const Vector3& value) { return WriteFloats({ value.x, value.y, value.z }); }
int Stream::WriteVector4(const Vector4& value) { return WriteFloats({ value.x, value.y, value.z, value.w }); }
int Stream::WriteQuaternion(const Quaternion& value) { return WriteFloats({ value.x, value.y, value.z, value.w }); }
int Stream::WriteColor(const Color& value) { return WriteFloats({ value.r, value.g, value.b, value.a }); }

// The identity flags are not stored.
int Stream::WriteTransform(const Transform& value)
{
    WriteVector3(value.scale);
    WriteQuaternion(value.rotation);
    return WriteVector3(value.translation);
}

int Stream::WriteVersion(const EngineVersion& value)
{
    WriteInt32(value.major);
    WriteInt32(value.minor);
    return WriteInt32(value.build);
}

int Stream::ReadInt8(int8_t& value)
{
    uint8_t byte = 0;
    if (Read(&byte, 1) == 0)
        value = static_cast<int8_t>(byte);
    return status;
}

int Stream::ReadInt16(int16_t& value)
{
    uint8_t bytes[2];
    if (Read(bytes, 2) == 0)
        value = static_cast<int16_t>(GetLittleEndian(bytes, 2));
    return status;
}

int Stream::ReadInt32(int32_t& value)
{
    uint8_t bytes[4];
    if (Read(bytes, 4) == 0)
        value = static_cast<int32_t>(GetLittleEndian(bytes, 4));
    return status;
}

int Stream::ReadFloat(float& value)
{
    int32_t bits = 0;
    if (ReadInt32(bits) == 0)
        std::memcpy(&value, &bits, 4);
    return status;
}

int Stream::ReadDouble(double& value)
{
    int32_t low = 0, high = 0;
    ReadInt32(low);
    if (ReadInt32(high) == 0) {
        const uint64_t bits = static_cast<uint64_t>(static_cast<uint32_t>(high)) << 32 | static_cast<uint32_t>(low);
        std::memcpy(&value, &bits, 8);
    }
    return status;
}

int Stream::ReadBool(bool& value)
{
    int8_t byte = 0;
    if (ReadInt8(byte) == 0)
        value = byte != 0;
    return status;
}

int Stream::ReadString(String& value)
{
    int32_t length = 0;
    if (ReadInt32(length) != 0)
        return status;
    // A length the data cannot hold fails like reading past the end, before anything is
    // allocated for it.
    if (length < 0 || length > GetRemaining()) {
        LogWarning("Невозможно считать данные. Буффер переполнен.");
        status = 1;
        return status;
    }
    char* text = new (std::nothrow) char[static_cast<size_t>(length) + 1];
    if (!text) {
        LogWarning("Недостаточно памяти для загрузки строки.");
        status = 2;
        return status;
    }
    if (Read(text, length) == 0) {
        text[length] = 0;
        value = String(text, length);
    }
    delete[] text;
    return status;
}

int Stream::ReadFloats(std::initializer_list<float*> values)
{
    for (float* value : values)
        ReadFloat(*value);
    return status;
}

int Stream::ReadVector2(Vector2& value) { return ReadFloats({ &value.x, &value.y }); }
int Stream::ReadVector3(Vector3& value) { return ReadFloats({ &value.x, &value.y, &value.z }); }
int Stream::ReadVector4(Vector4& value) { return ReadFloats({ &value.x, &value.y, &value.z, &value.w }); }
int Stream::ReadQuaternion(Quaternion& value) { return ReadFloats({ &value.x, &value.y, &value.z, &value.w }); }
int Stream::ReadColor(Color& value) { return ReadFloats({ &value.r, &value.g, &value.b, &value.a }); }

// A transform read from a stream never counts as the identity, whatever it holds.
int Stream::ReadTransform(Transform& value)
{
    ReadVector3(value.scale);
    ReadQuaternion(value.rotation);
    ReadVector3(value.translation);
    value.isIdentity = false;
    value.rotationIsIdentity = false;
    return status;
}

int Stream::ReadVersion(EngineVersion& value)
{
    ReadInt32(value.major);
    ReadInt32(value.minor);
    return ReadInt32(value.build);
}

// --- object references ---------------------------------------------------------------

int Stream::WriteObject(Object* object)
{
    if (!object)
        return WriteInt32(-1);
    const int32_t id = object->GetID();
    LogInfo("Write ID[%d]", id);
    if (identifiers.Find(id))
        return WriteInt32(id);
    WriteInt32(id);
    // Entered before the object's own data, so that a reference back to an object whose
    // record is still being written comes out as its bare identifier.
    if (identifiers.Insert(id, object) == 2 && status == 0)
        status = 2;
    WriteString(object->GetType().GetName());
    if (status != 0)
        return status;
    if (object->Save(*this) != 0 && status == 0)
        status = 1;
    LogInfo("RTTI[%s] ID[%d] Name[%s] Pointer[%d]", object->GetType().GetName().GetBuffer(), id,
            object->GetName().GetBuffer(), position);
    return status;
}

int Stream::ReadObject(Object*& object)
{
    object = nullptr;
    int32_t id = 0;
    if (ReadInt32(id) != 0)
        return status;
    LogInfo("Read ID[%d]", id);
    if (id == -1)
        return status;
    if (Object** known = identifiers.Find(id)) {
        object = *known;
        return status;
    }
    String typeName;
    if (ReadString(typeName) != 0)
        return status;
    CreateFunction create = FactoryTable::Find(typeName);
    if (!create) {
        LogError("Невозможно найти функцию создания объекта. RTTI[%s] ID[%d]", typeName.GetBuffer(), id);
        status = 1;
        return status;
    }
    if (depth >= MaxObjectDepth) {
        LogError("Слишком глубокая вложенность объектов. RTTI[%s] ID[%d]", typeName.GetBuffer(), id);
        status = 1;
        return status;
    }
    Object* fresh = nullptr;
    if (create(&fresh) != 0 || !fresh) {
        LogError("Невозможно создать объект. RTTI[%s] ID[%d]", typeName.GetBuffer(), id);
        status = 1;
        return status;
    }
    // If either step fails, the object is freed by this hold or later by the reset.
    Pointer<Object> hold(fresh);
    if (created.Append(hold) != 0 || identifiers.Insert(id, fresh) != 0) {
        status = 2;
        return status;
    }
    ++depth;
    const int loaded = fresh->Load(*this);
    --depth;
    if (loaded != 0 && status == 0)
        status = 1;
    object = fresh;
    LogInfo("RTTI[%s] ID[%d] Name[%s] Pointer[%d]", typeName.GetBuffer(), fresh->GetID(),
            fresh->GetName().GetBuffer(), position);
    return status;
}

int Stream::RefuseType(Object* object, const Rtti& expected)
{
    LogError("Неверный тип объекта. RTTI[%s] ID[%d] Ожидается[%s]", object->GetType().GetName().GetBuffer(),
             object->GetID(), expected.GetName().GetBuffer());
    status = 1;
    return status;
}

// --- scene files -----------------------------------------------------------------------

namespace {

int64_t VersionNumber(const EngineVersion& version)
{
    return static_cast<int64_t>(version.major) * 10000 + static_cast<int64_t>(version.minor) * 100 + version.build;
}

} // namespace

int WriteScene(Stream& stream, Object* root)
{
    stream.WriteVersion(Engine::GetVersion());
    return stream.WriteObject(root) == 0 ? 0 : 1;
}

int ReadScene(Stream& stream, Pointer<Object>& root)
{
    root = nullptr;
    EngineVersion fileVersion = { 0, 0, 0 };
    if (stream.ReadVersion(fileVersion) != 0)
        return 1;
    if (VersionNumber(fileVersion) < VersionNumber(Engine::GetVersion())) {
        LogError("Версия файла сцены v.%d.%d.%d не поддерживается.", fileVersion.major, fileVersion.minor,
                 fileVersion.build);
        return 1;
    }
    Object* object = nullptr;
    if (stream.ReadObject(object) != 0)
        return 1;
    root = object;
    return 0;
}

} // namespace Vorn
