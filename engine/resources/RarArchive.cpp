#include "engine/resources/RarArchive.h"

#include <cstring>
#include <new>

#include "engine/resources/Crc32.h"
#include "engine/resources/Rar20Crypt.h"
#include "engine/resources/Rar20Decoder.h"

namespace Vorn {

using namespace RarFormat;

namespace {

// Layout: 7-byte marker, 13-byte main header (crc 2, type 1, flags 2, size 2, reserved
// 6), then blocks that each start with crc 2, type 1, flags 2, size 2 and, with the long
// block flag, a 4-byte data size. A file header is 32 bytes before its name:
// packed size @7, unpacked size @11, host @15, crc @16, time @20, version @24, method @25,
// name size @26, attributes @28.
const uint8_t marker[7] = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00};
const uint8_t alternateMarker[7] = {0x55, 0x6E, 0x69, 0x71, 0x75, 0x45, 0x21};
constexpr size_t MarkerSize = sizeof marker;
constexpr size_t MainHeaderSize = 13;
constexpr size_t BaseHeaderSize = 7;
constexpr size_t FileHeaderSize = 32;

constexpr uint8_t MinVersion = 13;
constexpr uint8_t MaxVersion = 20;
constexpr uint8_t Rar20Version = 20;
constexpr uint8_t FirstCompressedMethod = 0x31;
constexpr uint8_t LastCompressedMethod = 0x35;

inline uint16_t Load16(const uint8_t* bytes)
{
    return uint16_t(bytes[0] | bytes[1] << 8);
}

inline uint32_t Load32(const uint8_t* bytes)
{
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
}

struct FileBlock {
    const uint8_t* name;
    int nameSize;
    const uint8_t* packed; // null when the data lies entirely past the end of the archive
    size_t available;      // packed bytes actually present, at most packedSize
    uint16_t flags;
    uint32_t packedSize;
    uint32_t unpackedSize;
    uint8_t hostSystem;
    uint32_t crc;
    uint32_t fileTime;
    uint8_t version;
    uint8_t method;
    uint32_t attributes;

    bool IsDirectory() const { return (flags & FileDictionaryMask) == FileDirectory; }
    bool IsCompressed() const { return method != MethodStored; }
    // Whether the decompressor sees this entry at all: stored entries, directories and
    // empty files leave a solid stream untouched.
    bool FeedsDecoder() const { return IsCompressed() && !IsDirectory() && unpackedSize > 0; }
};

// Walks the file headers of an archive in order. Each step reads a 32-byte header as if it
// were a file header and stops at a short tail, a header size below 7, a block that would
// not move forward, or an old-style sub-block.
class BlockWalker {
public:
    BlockWalker(const uint8_t* bytes, size_t byteCount) : data(bytes), size(byteCount), pos(0), done(true), solid(false) {}

    bool Open()
    {
        if (!data || size < MarkerSize)
            return false;
        if (std::memcmp(data, marker, MarkerSize) != 0 && std::memcmp(data, alternateMarker, MarkerSize) != 0)
            return false;
        if (size - MarkerSize < MainHeaderSize)
            return false;
        const uint8_t* main = data + MarkerSize;
        solid = (Load16(main + 3) & MainSolid) != 0;
        size_t mainSize = Load16(main + 5);
        pos = MarkerSize + (mainSize > MainHeaderSize ? mainSize : MainHeaderSize);
        done = false;
        return true;
    }

    bool Next(FileBlock& block)
    {
        while (!done && pos <= size && size - pos >= FileHeaderSize) {
            const uint8_t* header = data + pos;
            uint8_t type = header[2];
            uint16_t flags = Load16(header + 3);
            uint32_t headerSize = Load16(header + 5);
            if (headerSize < BaseHeaderSize)
                break;
            uint64_t next = uint64_t(pos) + headerSize + ((flags & LongBlock) ? Load32(header + 7) : 0);
            if (next <= pos)
                break;
            if (type == SubBlockType)
                break;
            size_t current = pos;
            pos = next > size ? size + 1 : size_t(next);
            if (type == FileBlockType) {
                Describe(current, headerSize, block);
                return true;
            }
        }
        done = true;
        return false;
    }

    bool IsSolid() const { return solid; }

private:
    void Describe(size_t at, uint32_t headerSize, FileBlock& block) const
    {
        const uint8_t* header = data + at;
        block.flags = Load16(header + 3);
        block.packedSize = Load32(header + 7);
        block.unpackedSize = Load32(header + 11);
        block.hostSystem = header[15];
        block.crc = Load32(header + 16);
        block.fileTime = Load32(header + 20);
        block.version = header[24];
        block.method = header[25];
        block.attributes = Load32(header + 28);

        size_t nameSize = Load16(header + 26);
        size_t present = size - at - FileHeaderSize;
        if (nameSize > present)
            nameSize = present;
        if (nameSize > size_t(MaxNameSize))
            nameSize = MaxNameSize;
        block.name = header + FileHeaderSize;
        // A zero byte separates the single-byte name from an encoded Unicode copy.
        const void* zero = std::memchr(block.name, 0, nameSize);
        block.nameSize = int(zero ? static_cast<const uint8_t*>(zero) - block.name : ptrdiff_t(nameSize));

        uint64_t dataStart = uint64_t(at) + headerSize;
        if (dataStart >= size) {
            block.packed = nullptr;
            block.available = 0;
        } else {
            block.packed = data + dataStart;
            size_t rest = size - size_t(dataStart);
            block.available = block.packedSize < rest ? block.packedSize : rest;
        }
    }

    const uint8_t* data;
    size_t size;
    size_t pos;
    bool done;
    bool solid;
};

inline char FoldNameChar(char c)
{
    if (c == '\\' || c == '/')
        return '_';
    if (c >= 'A' && c <= 'Z')
        return char(c - 'A' + 'a');
    return c;
}

bool NameEquals(const FileBlock& block, const char* wanted)
{
    for (int i = 0; i < block.nameSize; ++i)
        if (!wanted[i] || FoldNameChar(char(block.name[i])) != FoldNameChar(wanted[i]))
            return false;
    return wanted[block.nameSize] == 0;
}

// The packed bytes an entry's decoding starts from: the archive's own bytes, or a
// decrypted copy. Encrypted data comes in 16-byte blocks; a damaged trailing part is
// dropped and left for the CRC to catch.
class PackedData {
public:
    ~PackedData() { delete[] copy; }

    // 0 ok, 1 cannot be read (encrypted without password or with an unknown cipher),
    // 2 no memory.
    int Prepare(const FileBlock& block, const char* password)
    {
        bytes = block.packed;
        size = block.available;
        if (!(block.flags & FileEncrypted))
            return 0;
        if (!password || !*password || block.version != Rar20Version)
            return 1;
        size -= size % Rar20Cipher::BlockSize;
        if (size == 0)
            return 0;
        copy = new (std::nothrow) uint8_t[size];
        if (!copy)
            return 2;
        std::memcpy(copy, block.packed, size);
        Rar20Cipher cipher;
        cipher.SetPassword(password);
        cipher.Decrypt(copy, size);
        bytes = copy;
        return 0;
    }

    const uint8_t* bytes = nullptr;
    size_t size = 0;

private:
    uint8_t* copy = nullptr;
};

bool CanDecode(const FileBlock& block)
{
    return block.version == Rar20Version && block.method >= FirstCompressedMethod &&
           block.method <= LastCompressedMethod;
}

// Runs the solid group before the wanted entry through the decoder, discarding the
// output, so that its window and tables are what the wanted entry continues from. The group
// begins at the last compressed entry that does not continue its predecessor.
bool PrimeSolidGroup(const uint8_t* data, size_t size, int wantedIndex, const char* password, Rar20Decoder& decoder,
                     bool& primed)
{
    primed = false;
    BlockWalker walker(data, size);
    walker.Open();
    FileBlock block;
    int groupStart = -1;
    for (int index = 0; index < wantedIndex && walker.Next(block); ++index)
        if (block.FeedsDecoder() && (groupStart < 0 || !(block.flags & FileSolid)))
            groupStart = index;
    if (groupStart < 0)
        return true;

    walker = BlockWalker(data, size);
    walker.Open();
    for (int index = 0; index < wantedIndex && walker.Next(block); ++index) {
        if (index < groupStart || !block.FeedsDecoder())
            continue;
        PackedData packed;
        if (!CanDecode(block) || packed.Prepare(block, password) != 0)
            return false;
        if (decoder.DecodeFile(packed.bytes, packed.size, block.unpackedSize, primed, true, nullptr) != 0)
            return false;
        primed = true;
    }
    return true;
}

uint8_t* CopyStored(const FileBlock& block, const char* password)
{
    PackedData packed;
    if (packed.Prepare(block, password) != 0 || packed.size < block.unpackedSize)
        return nullptr;
    uint8_t* result = new (std::nothrow) uint8_t[block.unpackedSize ? block.unpackedSize : 1];
    if (result && block.unpackedSize)
        std::memcpy(result, packed.bytes, block.unpackedSize);
    return result;
}

uint8_t* Decompress(const uint8_t* data, size_t size, bool solidArchive, const FileBlock& block, int index,
                    const char* password)
{
    if (!CanDecode(block))
        return nullptr;
    Rar20Decoder* decoder = new (std::nothrow) Rar20Decoder;
    if (!decoder)
        return nullptr;
    uint8_t* result = nullptr;
    bool continueSolid = false;
    bool ready = true;
    if (solidArchive && (block.flags & FileSolid))
        ready = PrimeSolidGroup(data, size, index, password, *decoder, continueSolid);
    PackedData packed;
    if (ready && packed.Prepare(block, password) == 0)
        decoder->DecodeFile(packed.bytes, packed.size, block.unpackedSize, continueSolid, false, &result);
    delete decoder;
    return result;
}

} // namespace

bool RarNamesMatch(const char* stored, const char* wanted)
{
    if (!stored || !wanted)
        return false;
    FileBlock block;
    block.name = reinterpret_cast<const uint8_t*>(stored);
    block.nameSize = int(std::strlen(stored));
    return NameEquals(block, wanted);
}

int ListArchive(const uint8_t* data, size_t size, RarEntry** outList)
{
    if (!outList)
        return 0;
    *outList = nullptr;
    BlockWalker walker(data, size);
    if (!walker.Open())
        return 0;

    RarEntry* head = nullptr;
    RarEntry** tail = &head;
    int count = 0;
    FileBlock block;
    while (walker.Next(block)) {
        RarEntry* entry = new (std::nothrow) RarEntry;
        char* name = new (std::nothrow) char[block.nameSize + 1];
        if (!entry || !name) {
            delete entry;
            delete[] name;
            FreeListing(head);
            return 0;
        }
        std::memcpy(name, block.name, size_t(block.nameSize));
        name[block.nameSize] = 0;
        entry->name = name;
        entry->nameSize = block.nameSize;
        entry->packedSize = block.packedSize;
        entry->unpackedSize = block.unpackedSize;
        entry->hostSystem = block.hostSystem;
        entry->crc = block.crc;
        entry->fileTime = block.fileTime;
        entry->version = block.version;
        entry->method = block.method;
        entry->attributes = block.attributes;
        entry->flags = block.flags;
        entry->next = nullptr;
        *tail = entry;
        tail = &entry->next;
        ++count;
    }
    *outList = head;
    return count;
}

int ExtractEntry(const uint8_t* data, size_t size, const char* name, const char* password, uint8_t** outBuffer,
                 uint32_t* outSize)
{
    if (outBuffer)
        *outBuffer = nullptr;
    if (outSize)
        *outSize = 0;
    if (!name || !outBuffer || !outSize)
        return 0;
    BlockWalker walker(data, size);
    if (!walker.Open())
        return 0;

    FileBlock block;
    int index = 0;
    bool found = false;
    while (walker.Next(block)) {
        if (NameEquals(block, name)) {
            found = true;
            break;
        }
        ++index;
    }
    if (!found || block.version < MinVersion || block.version > MaxVersion)
        return 0;

    uint8_t* result = block.IsCompressed() && block.unpackedSize > 0
                          ? Decompress(data, size, walker.IsSolid(), block, index, password)
                          : CopyStored(block, password);
    if (!result)
        return 0;
    if (ComputeCrc32(result, block.unpackedSize) != block.crc) {
        delete[] result;
        return 0;
    }
    *outBuffer = result;
    *outSize = block.unpackedSize;
    return 1;
}

void FreeListing(RarEntry* list)
{
    while (list) {
        RarEntry* next = list->next;
        delete[] list->name;
        delete list;
        list = next;
    }
}

} // namespace Vorn
