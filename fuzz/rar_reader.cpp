// Feeds arbitrary bytes to the RAR reader: lists them as an archive and extracts every
// entry with and without a password. Bytes that are no archive go straight to the RAR 2.0
// decoder instead (a 4-byte unpacked size, then packed data), twice in one solid group, so
// mutations reach the bit-level decoder without first having to form valid headers.
#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "engine/resources/Crc32.h"
#include "engine/resources/Rar20Decoder.h"
#include "engine/resources/RarArchive.h"

namespace {

// Solid archives decode every earlier entry again per extraction; a cap keeps one input
// within the fuzzer's time limit.
constexpr int MaxExtractedEntries = 48;
constexpr uint32_t MaxRawUnpackedSize = 4u << 20;

void CheckExtraction(const uint8_t* data, size_t size, const Vorn::RarEntry& entry, const char* password)
{
    uint8_t* buffer = nullptr;
    uint32_t unpacked = 0;
    if (Vorn::ExtractEntry(data, size, entry.name, password, &buffer, &unpacked)) {
        // Touch every byte so the sanitizers see any bad buffer.
        volatile uint32_t crc = Vorn::ComputeCrc32(buffer, unpacked);
        (void)crc;
        delete[] buffer;
    } else if (buffer || unpacked) {
        __builtin_trap();
    }
}

void DecodeRaw(const uint8_t* data, size_t size)
{
    if (size < 4)
        return;
    uint32_t unpacked = (uint32_t(data[0]) | uint32_t(data[1]) << 8 | uint32_t(data[2]) << 16 |
                         uint32_t(data[3]) << 24) % MaxRawUnpackedSize;
    Vorn::Rar20Decoder decoder;
    for (bool continueSolid : {false, true}) {
        uint8_t* buffer = nullptr;
        if (decoder.DecodeFile(data + 4, size - 4, unpacked, continueSolid, true, &buffer) == 0) {
            volatile uint32_t crc = Vorn::ComputeCrc32(buffer, unpacked);
            (void)crc;
        }
        delete[] buffer;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Vorn::RarEntry* list = nullptr;
    int count = Vorn::ListArchive(data, size, &list);
    if (count == 0 && !list)
        DecodeRaw(data, size);
    int extracted = 0;
    for (Vorn::RarEntry* entry = list; entry && extracted < MaxExtractedEntries; entry = entry->next, ++extracted) {
        CheckExtraction(data, size, *entry, nullptr);
        CheckExtraction(data, size, *entry, "password");
    }
    Vorn::FreeListing(list);
    return 0;
}
