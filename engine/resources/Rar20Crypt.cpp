#include "engine/resources/Rar20Crypt.h"

#include <cstring>

#include "engine/resources/Crc32.h"

namespace Vorn {

namespace {

const uint32_t initialKey[4] = {0xD3A3B879u, 0x3F6D12F7u, 0x7515A235u, 0xA4E7F123u};

// A fixed permutation of 0..255; the password only shuffles it.
const uint8_t initialSubstitution[256] = {
    215, 19,  149, 35,  73,  197, 192, 205, 249, 28,  16,  119, 48,  221, 2,   42,
    232, 1,   177, 233, 14,  88,  219, 25,  223, 195, 244, 90,  87,  239, 153, 137,
    255, 199, 147, 70,  92,  66,  246, 13,  216, 40,  62,  29,  217, 230, 86,  6,
    71,  24,  171, 196, 101, 113, 218, 123, 93,  91,  163, 178, 202, 67,  44,  235,
    107, 250, 75,  234, 49,  167, 125, 211, 83,  114, 157, 144, 32,  193, 143, 36,
    158, 124, 247, 187, 89,  214, 141, 47,  121, 228, 61,  130, 213, 194, 174, 251,
    97,  110, 54,  229, 115, 57,  152, 94,  105, 243, 212, 55,  209, 245, 63,  11,
    164, 200, 31,  156, 81,  176, 227, 21,  76,  99,  139, 188, 127, 17,  248, 51,
    207, 120, 189, 210, 8,   226, 41,  72,  183, 203, 135, 165, 166, 60,  98,  7,
    122, 38,  155, 170, 69,  172, 252, 238, 39,  134, 59,  128, 236, 27,  240, 80,
    131, 3,   85,  206, 145, 79,  154, 142, 159, 220, 201, 133, 74,  64,  20,  129,
    224, 185, 138, 103, 173, 182, 43,  34,  254, 82,  198, 151, 231, 180, 58,  10,
    118, 26,  102, 12,  50,  132, 22,  191, 136, 111, 162, 179, 45,  4,   148, 108,
    161, 56,  78,  126, 242, 222, 15,  175, 146, 23,  33,  241, 181, 190, 77,  225,
    0,   46,  169, 186, 68,  95,  237, 65,  53,  208, 253, 168, 9,   18,  100, 52,
    116, 184, 160, 96,  109, 37,  30,  106, 140, 104, 150, 5,   204, 117, 112, 84,
};

inline uint32_t RotateLeft(uint32_t value, int count)
{
    return (value << count) | (value >> (32 - count));
}

inline uint32_t LoadLittle32(const uint8_t* bytes)
{
    return uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
}

inline void StoreLittle32(uint8_t* bytes, uint32_t value)
{
    bytes[0] = uint8_t(value);
    bytes[1] = uint8_t(value >> 8);
    bytes[2] = uint8_t(value >> 16);
    bytes[3] = uint8_t(value >> 24);
}

} // namespace

void Rar20Cipher::SetPassword(const char* password)
{
    SetPassword(reinterpret_cast<const uint8_t*>(password), password ? std::strlen(password) : 0);
}

void Rar20Cipher::SetPassword(const uint8_t* password, size_t size)
{
    std::memcpy(key, initialKey, sizeof key);
    std::memcpy(substitution, initialSubstitution, sizeof substitution);
    if (!password || size == 0)
        return;
    if (size > MaxPasswordSize)
        size = MaxPasswordSize;

    // The password is read in byte pairs; an odd last byte pairs with a zero.
    uint8_t padded[MaxPasswordSize + 1 + BlockSize] = {};
    std::memcpy(padded, password, size);

    const uint32_t* crcTable = GetCrc32Table();
    for (uint32_t round = 0; round < 256; ++round)
        for (size_t i = 0; i < size; i += 2) {
            uint32_t first = crcTable[(padded[i] - round) & 0xFF] & 0xFF;
            uint32_t second = crcTable[(padded[i + 1] + round) & 0xFF] & 0xFF;
            for (uint32_t step = 1; first != second; ++step) {
                uint8_t* a = &substitution[first];
                uint8_t* b = &substitution[(first + i + step) & 0xFF];
                uint8_t swap = *a;
                *a = *b;
                *b = swap;
                first = (first + 1) & 0xFF;
            }
        }

    // Encrypting the zero-padded password only serves to stir the key words.
    size_t paddedSize = (size + BlockSize - 1) / BlockSize * BlockSize;
    Encrypt(padded, paddedSize);
}

uint32_t Rar20Cipher::Substitute(uint32_t word) const
{
    return uint32_t(substitution[word & 0xFF]) | uint32_t(substitution[(word >> 8) & 0xFF]) << 8 |
           uint32_t(substitution[(word >> 16) & 0xFF]) << 16 | uint32_t(substitution[word >> 24]) << 24;
}

void Rar20Cipher::AbsorbCiphertext(const uint8_t* block)
{
    const uint32_t* crcTable = GetCrc32Table();
    for (int i = 0; i < 16; i += 4) {
        key[0] ^= crcTable[block[i]];
        key[1] ^= crcTable[block[i + 1]];
        key[2] ^= crcTable[block[i + 2]];
        key[3] ^= crcTable[block[i + 3]];
    }
}

void Rar20Cipher::EncryptBlock(uint8_t* block)
{
    uint32_t a = LoadLittle32(block) ^ key[0];
    uint32_t b = LoadLittle32(block + 4) ^ key[1];
    uint32_t c = LoadLittle32(block + 8) ^ key[2];
    uint32_t d = LoadLittle32(block + 12) ^ key[3];
    for (int round = 0; round < 32; ++round) {
        uint32_t k = key[round & 3];
        uint32_t ta = a ^ Substitute((c + RotateLeft(d, 11)) ^ k);
        uint32_t tb = b ^ Substitute((d ^ RotateLeft(c, 17)) + k);
        a = c;
        b = d;
        c = ta;
        d = tb;
    }
    StoreLittle32(block, c ^ key[0]);
    StoreLittle32(block + 4, d ^ key[1]);
    StoreLittle32(block + 8, a ^ key[2]);
    StoreLittle32(block + 12, b ^ key[3]);
    AbsorbCiphertext(block);
}

void Rar20Cipher::DecryptBlock(uint8_t* block)
{
    uint8_t ciphertext[BlockSize];
    std::memcpy(ciphertext, block, BlockSize);
    uint32_t a = LoadLittle32(block) ^ key[0];
    uint32_t b = LoadLittle32(block + 4) ^ key[1];
    uint32_t c = LoadLittle32(block + 8) ^ key[2];
    uint32_t d = LoadLittle32(block + 12) ^ key[3];
    for (int round = 31; round >= 0; --round) {
        uint32_t k = key[round & 3];
        uint32_t ta = a ^ Substitute((c + RotateLeft(d, 11)) ^ k);
        uint32_t tb = b ^ Substitute((d ^ RotateLeft(c, 17)) + k);
        a = c;
        b = d;
        c = ta;
        d = tb;
    }
    StoreLittle32(block, c ^ key[0]);
    StoreLittle32(block + 4, d ^ key[1]);
    StoreLittle32(block + 8, a ^ key[2]);
    StoreLittle32(block + 12, b ^ key[3]);
    AbsorbCiphertext(ciphertext);
}

void Rar20Cipher::Encrypt(uint8_t* data, size_t size)
{
    for (size_t offset = 0; offset + BlockSize <= size; offset += BlockSize)
        EncryptBlock(data + offset);
}

void Rar20Cipher::Decrypt(uint8_t* data, size_t size)
{
    for (size_t offset = 0; offset + BlockSize <= size; offset += BlockSize)
        DecryptBlock(data + offset);
}

} // namespace Vorn
