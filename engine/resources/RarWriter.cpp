#include "engine/resources/RarWriter.h"

#include <cstring>
#include <new>

#include "engine/resources/Crc32.h"
#include "engine/resources/Rar20Encoder.h"
#include "engine/resources/RarArchive.h"

namespace Vorn {

using namespace RarFormat;

namespace {

constexpr uint8_t HostWin32 = 2;
constexpr uint8_t Version20 = 20;
constexpr uint8_t MethodNormal = 0x33;
constexpr uint16_t Dictionary256K = 2 << 5;
constexpr size_t FileHeaderSize = 32;
constexpr uint8_t MainBlockType = 0x73;

static_assert(Rar20EncoderDictionary == 256 * 1024, "the header's dictionary field must match the encoder");

class ByteSink {
public:
    ~ByteSink() { delete[] bytes; }

    bool Append(const uint8_t* data, size_t count)
    {
        if (size + count > capacity) {
            size_t bigger = capacity ? capacity * 2 : 64 * 1024;
            while (bigger < size + count)
                bigger *= 2;
            uint8_t* grown = new (std::nothrow) uint8_t[bigger];
            if (!grown)
                return false;
            if (size)
                std::memcpy(grown, bytes, size);
            delete[] bytes;
            bytes = grown;
            capacity = bigger;
        }
        if (count)
            std::memcpy(bytes + size, data, count);
        size += count;
        return true;
    }

    uint8_t* bytes = nullptr;
    size_t size = 0;

private:
    size_t capacity = 0;
};

void Store16(uint8_t* at, uint32_t value)
{
    at[0] = uint8_t(value);
    at[1] = uint8_t(value >> 8);
}

void Store32(uint8_t* at, uint32_t value)
{
    Store16(at, value & 0xFFFF);
    Store16(at + 2, value >> 16);
}

// A block's CRC field holds the low half of the CRC-32 of the header from its type byte on.
void SealHeader(uint8_t* header, size_t headerSize)
{
    Store16(header, ComputeCrc32(header + 2, headerSize - 2) & 0xFFFF);
}

int WriteEntry(const RarWriterEntry& entry, ByteSink& sink)
{
    if (!entry.name)
        return 3;
    size_t nameSize = std::strlen(entry.name);
    if (nameSize == 0 || nameSize > size_t(MaxNameSize))
        return 1;
    if (!entry.isDirectory && !entry.data && entry.size)
        return 3;

    uint8_t* packed = nullptr;
    uint32_t packedSize = 0;
    uint8_t method = MethodNormal;
    const uint8_t* body = nullptr;
    uint32_t size = entry.isDirectory ? 0 : entry.size;
    // Empty files carry the compression method but no packed data, as RAR writes them.
    if (size > 0) {
        int status = CompressRar20(entry.data, size, &packed, &packedSize);
        if (status)
            return status;
        body = packed;
        if (packedSize >= size) {
            method = MethodStored;
            body = entry.data;
            packedSize = size;
        }
    }

    uint8_t header[FileHeaderSize + MaxNameSize];
    size_t headerSize = FileHeaderSize + nameSize;
    std::memset(header, 0, headerSize);
    header[2] = FileBlockType;
    Store16(header + 3, LongBlock | (entry.isDirectory ? FileDirectory : Dictionary256K));
    Store16(header + 5, uint32_t(headerSize));
    Store32(header + 7, packedSize);
    Store32(header + 11, size);
    header[15] = HostWin32;
    Store32(header + 16, size ? ComputeCrc32(entry.data, size) : 0);
    Store32(header + 20, entry.fileTime);
    header[24] = Version20;
    header[25] = method;
    Store16(header + 26, uint32_t(nameSize));
    uint32_t attributes = entry.attributes ? entry.attributes : entry.isDirectory ? DirectoryAttribute : 0x20;
    if (entry.isDirectory)
        attributes |= DirectoryAttribute;
    Store32(header + 28, attributes);
    for (size_t i = 0; i < nameSize; ++i)
        header[FileHeaderSize + i] = uint8_t(entry.name[i] == '/' ? '\\' : entry.name[i]);
    SealHeader(header, headerSize);

    bool ok = sink.Append(header, headerSize) && sink.Append(body, packedSize);
    delete[] packed;
    return ok ? 0 : 2;
}

} // namespace

int WriteRarArchive(const RarWriterEntry* entries, int count, uint8_t** outBuffer, size_t* outSize)
{
    if (outBuffer)
        *outBuffer = nullptr;
    if (outSize)
        *outSize = 0;
    if (!outBuffer || !outSize || (count > 0 && !entries) || count < 0)
        return 3;

    static const uint8_t marker[7] = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00};
    uint8_t mainHeader[13] = {};
    mainHeader[2] = MainBlockType;
    Store16(mainHeader + 5, sizeof mainHeader);
    SealHeader(mainHeader, sizeof mainHeader);

    ByteSink sink;
    if (!sink.Append(marker, sizeof marker) || !sink.Append(mainHeader, sizeof mainHeader))
        return 2;
    for (int i = 0; i < count; ++i) {
        int status = WriteEntry(entries[i], sink);
        if (status)
            return status;
    }
    *outBuffer = sink.bytes;
    *outSize = sink.size;
    sink.bytes = nullptr;
    return 0;
}

} // namespace Vorn
