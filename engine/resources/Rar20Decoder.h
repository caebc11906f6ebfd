// The RAR 2.0 decompressor: Huffman-coded LZ77 over a 1 MB history, table blocks that may
// switch to multimedia coding (per-lane delta prediction, up to four lanes), and the state
// a solid archive carries from one file into the next. Each decoder owns its window and
// tables, so independent extractions never share state.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/resources/Rar20Format.h"

namespace Vorn {

class Rar20Decoder {
public:
    Rar20Decoder();
    ~Rar20Decoder();
    Rar20Decoder(const Rar20Decoder&) = delete;
    Rar20Decoder& operator=(const Rar20Decoder&) = delete;

    // Forgets history, tables and predictor state: the next file starts a new solid group.
    void Reset();

    // Decodes one file of unpackedSize bytes. continueSolid keeps what the previous file
    // left (flagged entries of a solid archive); otherwise the decoder resets first. With
    // readTrailingTables, a table block placed after the file's last symbol is taken over
    // for the next solid file. A null outBuffer discards the bytes (they still become
    // history). Returns 0 with a new[] buffer in *outBuffer, 1 for damaged data, 2 when
    // memory runs out; after a failure the history is unusable until Reset.
    int DecodeFile(const uint8_t* packed, size_t packedSize, uint32_t unpackedSize, bool continueSolid,
                   bool readTrailingTables, uint8_t** outBuffer);

    // Canonical prefix code with a direct lookup for short codes; longer ones fall back to
    // a search over the per-length limits. Unused code space decodes as an error.
    struct HuffmanCode {
        static constexpr int FastBits = 10;

        // Over-subscribed length sets cannot be decoded; incomplete ones can.
        static bool IsDecodable(const uint8_t* lengths, int count);
        void Build(const uint8_t* lengths, int count);

        uint16_t fast[1 << FastBits]; // symbol << 4 | length, 0 = longer code or unused
        uint32_t limit[Rar20::MaxCodeLength + 1]; // first left-aligned 16-bit value past length l
        int indexBase[Rar20::MaxCodeLength + 1];
        uint16_t symbols[Rar20::MainSymbols];
    };

    // MSB-first bits from a 64-bit buffer. Past the end of the data it supplies zero bytes
    // and counts them, so the decoder can tell a stream that peeks ahead from one that
    // really runs out.
    struct BitReader {
        const uint8_t* start;
        const uint8_t* next;
        const uint8_t* end;
        uint64_t bits;
        uint32_t count;   // valid bits at the top of `bits`
        uint32_t phantom; // zero bytes supplied past the end

        void Start(const uint8_t* data, size_t size);
        void Refill();
        void RefillSlowly();
        uint32_t Peek16() const { return uint32_t(bits >> 48); }
        void Skip(uint32_t n)
        {
            bits <<= n;
            count -= n;
        }
        uint32_t Read(uint32_t n) // n = 0..16
        {
            uint32_t value = uint32_t(bits >> 32 >> (32 - n));
            Skip(n);
            return value;
        }
        bool IsPastEnd() const;
        size_t GetUnreadBytes() const;
    };

private:
    bool GrowWindow(uint64_t groupSize);
    int ReadTables();
    void ReadTrailingTables();
    int DecodeLz(uint32_t target, uint32_t limit, uint32_t& produced);
    int DecodeAudio(uint32_t target, uint32_t limit, uint32_t& produced);

    uint8_t* window;      // grown on demand, a power of two up to 2 MB
    uint32_t windowSize;
    uint32_t windowMask;
    uint32_t windowPos;
    uint64_t historySize; // bytes produced since the last reset
    bool broken;          // a failed file left the history inconsistent

    uint32_t oldDistances[4];
    uint32_t oldDistanceIndex;
    uint32_t lastDistance;
    uint32_t lastLength;

    bool tablesRead;
    bool audioMode;
    int numChannels;
    int currentChannel;
    int channelDelta;
    Rar20::AudioPredictor predictors[Rar20::MaxChannels];
    uint8_t previousLengths[Rar20::MaxTableSize];

    BitReader reader;
    HuffmanCode mainCode;
    HuffmanCode distanceCode;
    HuffmanCode lengthCode;
    HuffmanCode audioCodes[Rar20::MaxChannels];
    HuffmanCode levelCode;
};

} // namespace Vorn
