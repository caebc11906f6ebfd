// Reads RAR 1.5-2.x archives held in memory: lists the file headers and extracts one entry
// by name into a new buffer (stored, or RAR 2.0 compressed, optionally RAR 2.0 encrypted),
// checking its CRC-32. Pure byte-level code over caller-owned memory, no engine services.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Vorn {

// One file header, in archive order. The name is the header's bytes as stored (single-byte
// code page, '\' between components), cut at 259 bytes or at a zero byte, NUL-terminated.
struct RarEntry {
    char* name;
    int nameSize;
    uint32_t packedSize, unpackedSize;
    uint8_t hostSystem;
    uint32_t crc;
    uint32_t fileTime; // MS-DOS date and time
    uint8_t version;   // needed to unpack, 10 * major + minor
    uint8_t method;    // 0x30 stored, 0x31..0x35 compressed
    uint32_t attributes;
    uint16_t flags;
    RarEntry* next;
};

// Header field values the reader and the writer agree on.
namespace RarFormat {
constexpr uint16_t MainSolid = 0x0008;
constexpr uint16_t FileEncrypted = 0x0004;
constexpr uint16_t FileSolid = 0x0010;   // continues the previous file's decompression
constexpr uint16_t FileDictionaryMask = 0x00E0;
constexpr uint16_t FileDirectory = 0x00E0; // all dictionary bits set
constexpr uint16_t LongBlock = 0x8000;
constexpr uint8_t FileBlockType = 0x74;
constexpr uint8_t SubBlockType = 0x77;
constexpr uint8_t MethodStored = 0x30;
constexpr uint32_t DirectoryAttribute = 0x10;
constexpr int MaxNameSize = 259;
} // namespace RarFormat

// Returns the number of entries and the list in *outList (null and 0 when the data is not
// an archive). The caller frees the list with FreeListing.
int ListArchive(const uint8_t* data, size_t size, RarEntry** outList);

// Extracts the first entry whose name matches ignoring ASCII case, with '\', '/' and '_'
// counted as one character. Returns 1 with a new[] buffer (the caller delete[]s it) and its
// size, or 0 with null and 0 when the entry is missing, unsupported, damaged, encrypted
// without a password, or fails its CRC-32.
int ExtractEntry(const uint8_t* data, size_t size, const char* name, const char* password, uint8_t** outBuffer,
                 uint32_t* outSize);

void FreeListing(RarEntry* list);

// True for a name the first would resolve to when asked for the second.
bool RarNamesMatch(const char* stored, const char* wanted);

} // namespace Vorn
