#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/resources/Crc32.h"
#include "engine/resources/Rar20Crypt.h"
#include "engine/resources/Rar20Decoder.h"
#include "engine/resources/Rar20Encoder.h"
#include "tests/native/RarTestData.h"
#include "tests/native/Sha256.h"

using namespace Vorn;
using namespace VornTest;

namespace {

std::vector<uint8_t> FromHex(const char* hex)
{
    std::vector<uint8_t> bytes;
    for (; hex[0] && hex[1]; hex += 2)
        bytes.push_back(uint8_t(std::stoul(std::string(hex, 2), nullptr, 16)));
    return bytes;
}

// MSB-first bit strings for hand-built streams.
class Bits {
public:
    Bits& Put(uint32_t value, int count)
    {
        for (int bit = count - 1; bit >= 0; --bit) {
            if (used % 8 == 0)
                bytes.push_back(0);
            if ((value >> bit) & 1)
                bytes.back() |= uint8_t(0x80 >> (used % 8));
            ++used;
        }
        return *this;
    }
    std::vector<uint8_t> bytes;

private:
    int used = 0;
};

// A table block giving length 1 to main symbols 'a' and 270 (long copy, length 3) and to
// distance symbols 0 and 1; the pre-code knows only "1" (code 0) and an 11..138 zero run
// (code 1). Then 'a' is code 0, 270 code 1, and distance symbol 0 (distance 1) code 0.
void PutSmallTable(Bits& bits)
{
    bits.Put(0, 1).Put(0, 1); // LZ mode, fresh lengths
    for (int symbol = 0; symbol < 19; ++symbol)
        bits.Put(symbol == 1 || symbol == 18 ? 1 : 0, 4);
    auto zeros = [&](int run) {
        while (run > 0) {
            int chunk = run > 138 ? 138 : run;
            bits.Put(1, 1).Put(uint32_t(chunk - 11), 7);
            run -= chunk;
        }
    };
    auto one = [&] { bits.Put(0, 1); };
    zeros(97);
    one();        // 'a'
    zeros(172);
    one();        // 270
    zeros(27);
    one();        // distance 0
    one();        // distance 1
    zeros(74);
}

int Decode(const std::vector<uint8_t>& packed, uint32_t unpackedSize, std::vector<uint8_t>* out = nullptr)
{
    Rar20Decoder decoder;
    uint8_t* buffer = nullptr;
    int status = decoder.DecodeFile(packed.data(), packed.size(), unpackedSize, false, false, &buffer);
    if (out && buffer)
        out->assign(buffer, buffer + unpackedSize);
    EXPECT_TRUE(status == 0 || buffer == nullptr);
    delete[] buffer;
    return status;
}

} // namespace

TEST(Crc32, MatchesTheStandardCheckValues)
{
    const uint8_t digits[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(ComputeCrc32(digits, 9), 0xCBF43926u);
    EXPECT_EQ(ComputeCrc32(digits, 0), 0u);
    EXPECT_EQ(GetCrc32Table()[1], 0x77073096u);
    EXPECT_EQ(GetCrc32Table()[255], 0x2D02EF8Du);
    // Chaining over odd splits gives the same value as one pass (the fast path folds
    // eight bytes at a time).
    std::vector<uint8_t> noise = MakeNoise(1001, 11);
    uint32_t whole = ComputeCrc32(noise.data(), noise.size());
    EXPECT_EQ(UpdateCrc32(UpdateCrc32(0, noise.data(), 13), noise.data() + 13, noise.size() - 13), whole);
}

TEST(Rar20Cipher, KeySetupMatchesKnownVectors)
{
    struct Case {
        const char* password;
        uint32_t key[4];
    };
    const Case cases[] = {
        {"password", {0xE916E9B7, 0x906709BB, 0xB0AF998B, 0x6DEBD1A5}},
        {"a", {0x8A10856E, 0xB4D3AA1D, 0x6C799444, 0xF7546213}},
        {"abc", {0xF4A1F9D3, 0x25B7C68A, 0x851A3171, 0xABE70817}},
        {"", {0xD3A3B879, 0x3F6D12F7, 0x7515A235, 0xA4E7F123}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.password);
        Rar20Cipher cipher;
        cipher.SetPassword(c.password);
        EXPECT_EQ(std::vector<uint32_t>(cipher.GetKey(), cipher.GetKey() + 4),
                  std::vector<uint32_t>(c.key, c.key + 4));
    }
    Rar20Cipher cipher;
    cipher.SetPassword("password");
    EXPECT_EQ(Sha256Hex(cipher.GetSubstitution(), 256),
              "021f67d1380a4d3725d493a31f06ea7ddc50254284943f7bc5bc358526c31030");
}

TEST(Rar20Cipher, DecryptsAndReencryptsARealBlock)
{
    std::vector<uint8_t> block = FromHex("2d422ae3e5206e813239c637f0aeff18");
    Rar20Cipher decryptor;
    decryptor.SetPassword("password");
    decryptor.DecryptBlock(block.data());
    EXPECT_EQ(std::string(block.begin(), block.end()), "RAR 1.5 and 2.0 ");
    const uint32_t expectedKey[4] = {0x09C300A9, 0x5DB00F28, 0x9E1B940A, 0x6586EC88};
    EXPECT_EQ(std::memcmp(decryptor.GetKey(), expectedKey, sizeof expectedKey), 0);

    Rar20Cipher encryptor;
    encryptor.SetPassword("password");
    encryptor.EncryptBlock(block.data());
    EXPECT_EQ(block, FromHex("2d422ae3e5206e813239c637f0aeff18"));

    // Many blocks in a row keep both sides' keys in step; a partial tail is left alone.
    std::vector<uint8_t> text = MakeText(16 * 40 + 5, 12);
    std::vector<uint8_t> data = text;
    encryptor.SetPassword("a much longer password that runs well past a single sixteen-byte block");
    encryptor.Encrypt(data.data(), data.size());
    EXPECT_NE(std::memcmp(data.data(), text.data(), 16 * 40), 0);
    EXPECT_EQ(std::memcmp(data.data() + 16 * 40, text.data() + 16 * 40, 5), 0);
    decryptor.SetPassword("a much longer password that runs well past a single sixteen-byte block");
    decryptor.Decrypt(data.data(), data.size());
    EXPECT_EQ(data, text);
}

TEST(Rar20Decoder, DecodesAHandBuiltStream)
{
    Bits bits;
    PutSmallTable(bits);
    bits.Put(0, 1).Put(1, 1).Put(0, 1); // 'a', then copy 3 from distance 1
    std::vector<uint8_t> out;
    ASSERT_EQ(Decode(bits.bytes, 4, &out), 0);
    EXPECT_EQ(std::string(out.begin(), out.end()), "aaaa");
}

TEST(Rar20Decoder, RejectsDamagedStreams)
{
    struct Case {
        const char* what;
        std::vector<uint8_t> packed;
        uint32_t unpackedSize;
    };
    std::vector<Case> cases;

    Bits beforeStart; // a copy before any byte exists
    PutSmallTable(beforeStart);
    beforeStart.Put(1, 1).Put(0, 1);
    cases.push_back({"distance before the window start", beforeStart.bytes, 3});

    Bits overshoot; // the copy runs past the declared size
    PutSmallTable(overshoot);
    overshoot.Put(0, 1).Put(1, 1).Put(0, 1);
    cases.push_back({"copy past the end of the file", overshoot.bytes, 2});

    Bits runsOut; // fine stream, but declares far more than its bits can give
    PutSmallTable(runsOut);
    runsOut.Put(0, 1).Put(1, 1).Put(0, 1);
    cases.push_back({"huge declared size", runsOut.bytes, 0xFFFFFFF0u});

    Bits overfull; // pre-code with three codes of length 1
    overfull.Put(0, 2);
    for (int symbol = 0; symbol < 19; ++symbol)
        overfull.Put(symbol < 3 ? 1 : 0, 4);
    overfull.Put(0, 32);
    cases.push_back({"over-subscribed pre-code", overfull.bytes, 10});

    Bits repeatFirst; // "repeat the previous length" with nothing before it
    repeatFirst.Put(0, 2);
    for (int symbol = 0; symbol < 19; ++symbol)
        repeatFirst.Put(symbol == 16 || symbol == 18 ? 1 : 0, 4);
    repeatFirst.Put(0, 1).Put(0, 2).Put(0, 32);
    cases.push_back({"repeat at the first length", repeatFirst.bytes, 10});

    Bits empty; // every length zero: no symbol can be decoded
    empty.Put(0, 2);
    for (int symbol = 0; symbol < 19; ++symbol)
        empty.Put(symbol == 18 ? 1 : 0, 4);
    for (int i = 0; i < 3; ++i)
        empty.Put(0, 1).Put(127, 7); // 3 x 138 zero lengths
    empty.Put(0, 16);
    cases.push_back({"empty main code", empty.bytes, 1});

    Bits truncated;
    PutSmallTable(truncated);
    std::vector<uint8_t> cut = truncated.bytes;
    cut.resize(cut.size() / 2);
    cases.push_back({"table block cut short", cut, 4});
    cases.push_back({"no data at all", {}, 4});

    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(Decode(c.packed, c.unpackedSize), 1);
    }
}

TEST(Rar20Encoder, RoundTripsEveryKindOfData)
{
    struct Case {
        const char* what;
        std::vector<uint8_t> data;
        int mode;        // Lz: no multimedia block, Audio: at least one, Either: no check
        double maxRatio; // packed / unpacked
    };
    std::vector<uint8_t> repeated = MakeText(5000, 13);
    for (int i = 0; i < 6; ++i)
        repeated.insert(repeated.end(), repeated.begin(), repeated.begin() + 5000);
    std::vector<uint8_t> mixed = MakeText(100000, 14);
    std::vector<uint8_t> sound = MakeSound(40000, 8000, 200, 15);
    std::vector<uint8_t> image = MakeImage(200, 150, 16);
    mixed.insert(mixed.end(), sound.begin(), sound.end());
    mixed.insert(mixed.end(), image.begin(), image.end());
    mixed.insert(mixed.end(), mixed.begin(), mixed.begin() + 70001);
    enum { Lz, Audio, Either };
    const Case cases[] = {
        {"text", MakeText(200000, 17), Lz, 0.35},
        {"repeated text", repeated, Lz, 0.2},
        {"noise", MakeNoise(70000, 18), Either, 1.01},
        {"image", MakeImage(256, 256, 19), Audio, 0.5},
        {"silence", MakeSound(100000, 0, 0, 20), Lz, 0.01},
        {"noisy sound", MakeSound(100000, 10000, 400, 21), Audio, 0.8},
        {"mixed with mode changes", mixed, Audio, 0.6},
        {"one byte", {42}, Either, 100},
        {"two bytes", {1, 2}, Either, 100},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        uint8_t* packed = nullptr;
        uint32_t packedSize = 0;
        Rar20EncoderStats stats;
        ASSERT_EQ(CompressRar20(c.data.data(), uint32_t(c.data.size()), &packed, &packedSize, &stats), 0);
        ASSERT_NE(packed, nullptr);
        EXPECT_EQ(packed[packedSize - 1], 0) << "the stream ends with a pad byte";
        EXPECT_LE(double(packedSize), c.maxRatio * double(c.data.size()) + 2);
        if (c.mode != Either) {
            EXPECT_EQ(stats.audioBlocks > 0, c.mode == Audio);
        }
        if (std::string(c.what) == "mixed with mode changes") {
            EXPECT_GT(stats.lzBlocks, 0u);
        }
        std::vector<uint8_t> unpacked;
        EXPECT_EQ(Decode(std::vector<uint8_t>(packed, packed + packedSize), uint32_t(c.data.size()), &unpacked), 0);
        EXPECT_TRUE(unpacked == c.data);
        delete[] packed;
    }
    uint8_t* packed = reinterpret_cast<uint8_t*>(1);
    uint32_t packedSize = 5;
    EXPECT_EQ(CompressRar20(nullptr, 0, &packed, &packedSize), 0);
    EXPECT_EQ(packed, nullptr);
    EXPECT_EQ(packedSize, 0u);
    EXPECT_EQ(CompressRar20(nullptr, 10, &packed, &packedSize), 3);
}

// The second file of a solid group starts straight with symbols: its copy reaches back
// into the first file, with the first file's tables.
TEST(Rar20Decoder, ContinuesASolidGroup)
{
    Bits first;
    PutSmallTable(first);
    first.Put(0, 1).Put(1, 1).Put(0, 1); // "aaaa"
    Bits second;
    second.Put(1, 1).Put(0, 1); // copy 3 from distance 1

    Rar20Decoder decoder;
    ASSERT_EQ(decoder.DecodeFile(first.bytes.data(), first.bytes.size(), 4, false, true, nullptr), 0);
    uint8_t* out = nullptr;
    ASSERT_EQ(decoder.DecodeFile(second.bytes.data(), second.bytes.size(), 3, true, true, &out), 0);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(std::string(out, out + 3), "aaa");
    delete[] out;

    // Without the group the same bytes are no stream at all.
    EXPECT_EQ(decoder.DecodeFile(second.bytes.data(), second.bytes.size(), 3, false, true, &out), 1);
    EXPECT_EQ(out, nullptr);
}
