#include "engine/resources/Crc32.h"

namespace Vorn {

namespace {

// Eight tables let the loop fold eight bytes per step ("slicing by eight"): table k maps a
// byte to its contribution k positions further along. Extraction checks every unpacked
// byte, so this runs as often as the decompressor writes.
struct Crc32Tables {
    uint32_t entries[8][256];
};

constexpr Crc32Tables BuildTables()
{
    Crc32Tables tables{};
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t value = n;
        for (int bit = 0; bit < 8; ++bit)
            value = (value & 1) ? (value >> 1) ^ 0xEDB88320u : value >> 1;
        tables.entries[0][n] = value;
    }
    for (int k = 1; k < 8; ++k)
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t previous = tables.entries[k - 1][n];
            tables.entries[k][n] = (previous >> 8) ^ tables.entries[0][previous & 0xFF];
        }
    return tables;
}

constexpr Crc32Tables crcTables = BuildTables();
static_assert(crcTables.entries[0][1] == 0x77073096u, "CRC-32 table entry 1");
static_assert(crcTables.entries[0][255] == 0x2D02EF8Du, "CRC-32 table entry 255");

inline uint32_t LoadLittle32(const uint8_t* bytes)
{
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
}

} // namespace

const uint32_t* GetCrc32Table()
{
    return crcTables.entries[0];
}

uint32_t UpdateCrc32(uint32_t crc, const uint8_t* data, size_t size)
{
    const auto& t = crcTables.entries;
    uint32_t value = ~crc;
    if (!data)
        return crc;
    while (size >= 8) {
        uint32_t low = LoadLittle32(data) ^ value;
        uint32_t high = LoadLittle32(data + 4);
        value = t[7][low & 0xFF] ^ t[6][(low >> 8) & 0xFF] ^ t[5][(low >> 16) & 0xFF] ^ t[4][low >> 24] ^
                t[3][high & 0xFF] ^ t[2][(high >> 8) & 0xFF] ^ t[1][(high >> 16) & 0xFF] ^ t[0][high >> 24];
        data += 8;
        size -= 8;
    }
    while (size--)
        value = (value >> 8) ^ t[0][(value ^ *data++) & 0xFF];
    return ~value;
}

} // namespace Vorn
