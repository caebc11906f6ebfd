// Constants of the RAR 2.0 compressed stream, shared by the decoder and our encoder.
// The stream is MSB-first bits: table blocks (1 audio bit, 1 keep bit, 2 channel bits in
// audio mode, 19 four-bit pre-code lengths, then the coded length array) and symbols.
#pragma once

#include <cstdint>

namespace Vorn {
namespace Rar20 {

constexpr int MaxCodeLength = 15;
constexpr int LevelSymbols = 19;     // pre-code: 0..15 deltas, 16 repeat, 17/18 zero runs
constexpr int MainSymbols = 298;
constexpr int DistanceSymbols = 48;
constexpr int LengthSymbols = 28;
constexpr int LzTableSize = MainSymbols + DistanceSymbols + LengthSymbols; // 374
constexpr int AudioSymbols = 257;    // 0..255 prediction errors, 256 = new table
constexpr int MaxChannels = 4;
constexpr int MaxTableSize = AudioSymbols * MaxChannels; // 1028 remembered lengths

// Main alphabet: 0..255 literals, then these.
constexpr int RepeatLastSymbol = 256; // last length at last distance
constexpr int OldDistanceSymbol = 257; // 257..260: one of the four latest distances
constexpr int ShortMatchSymbol = 261; // 261..268: length 2, distance up to 256
constexpr int NewTableSymbol = 269;
constexpr int LongMatchSymbol = 270;  // 270..297: length class, then a distance symbol
constexpr int AudioNewTableSymbol = 256;

constexpr uint32_t MaxDistance = 1u << 20;
// Long copies get one extra length at each of these distances (old-distance copies also
// at OldDistanceBonus), so short lengths are never spent on far distances.
constexpr uint32_t OldDistanceBonus = 0x101;
constexpr uint32_t NearBonus = 0x2000;
constexpr uint32_t FarBonus = 0x40000;

inline constexpr uint8_t lengthBase[LengthSymbols] = {
    0, 1, 2, 3, 4, 5, 6, 7, 8, 10, 12, 14, 16, 20, 24, 28, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224};
inline constexpr uint8_t lengthBits[LengthSymbols] = {
    0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5};

inline constexpr uint32_t distanceBase[DistanceSymbols] = {
    0,      1,      2,      3,      4,      6,      8,      12,     16,     24,     32,     48,
    64,     96,     128,    192,    256,    384,    512,    768,    1024,   1536,   2048,   3072,
    4096,   6144,   8192,   12288,  16384,  24576,  32768,  49152,  65536,  98304,  131072, 196608,
    262144, 327680, 393216, 458752, 524288, 589824, 655360, 720896, 786432, 851968, 917504, 983040};
inline constexpr uint8_t distanceBits[DistanceSymbols] = {
    0,  0,  0,  0,  1,  1,  2,  2,  3,  3,  4,  4,  5,  5,  6,  6,  7,  7,  8,  8,  9,  9,  10, 10,
    11, 11, 12, 12, 13, 13, 14, 14, 15, 15, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16};

inline constexpr uint8_t shortBase[8] = {0, 4, 8, 16, 32, 64, 128, 192};
inline constexpr uint8_t shortBits[8] = {2, 2, 3, 4, 5, 6, 6, 6};

// Multimedia mode: one byte lane's adaptive predictor. The decoder and the encoder must
// run exactly the same arithmetic, so it lives here once.
struct AudioPredictor {
    int weights[5];
    int deltas[4];
    int lastDelta;
    int lastByte;
    uint32_t errors[11];
    uint32_t byteCount;

    // The byte this lane expects next (channelDelta is shared by all lanes).
    int Predict(int channelDelta)
    {
        deltas[3] = deltas[2];
        deltas[2] = deltas[1];
        deltas[1] = lastDelta - deltas[0];
        deltas[0] = lastDelta;
        int sum = 8 * lastByte + weights[0] * deltas[0] + weights[1] * deltas[1] + weights[2] * deltas[2] +
                  weights[3] * deltas[3] + weights[4] * channelDelta;
        return (sum >> 3) & 0xFF;
    }

    // Learns from the actual byte; residual = (predicted - actual) mod 256 is what the
    // stream codes. Predict must have run first.
    void Update(int residual, int actual, int& channelDelta)
    {
        ++byteCount;
        int error = (residual >= 128 ? residual - 256 : residual) * 8;
        errors[0] += Magnitude(error);
        errors[1] += Magnitude(error - deltas[0]);
        errors[2] += Magnitude(error + deltas[0]);
        errors[3] += Magnitude(error - deltas[1]);
        errors[4] += Magnitude(error + deltas[1]);
        errors[5] += Magnitude(error - deltas[2]);
        errors[6] += Magnitude(error + deltas[2]);
        errors[7] += Magnitude(error - deltas[3]);
        errors[8] += Magnitude(error + deltas[3]);
        errors[9] += Magnitude(error - channelDelta);
        errors[10] += Magnitude(error + channelDelta);
        int delta = (actual - lastByte) & 0xFF;
        lastDelta = delta >= 128 ? delta - 256 : delta;
        channelDelta = lastDelta;
        lastByte = actual;
        if ((byteCount & 31) == 0)
            AdaptWeights();
    }

private:
    static uint32_t Magnitude(int value) { return uint32_t(value < 0 ? -value : value); }

    // Every 32 bytes, nudge the weight whose change would have cut the error most.
    void AdaptWeights()
    {
        int best = 0;
        uint32_t bestError = errors[0];
        errors[0] = 0;
        for (int i = 1; i < 11; ++i) {
            if (errors[i] < bestError) {
                bestError = errors[i];
                best = i;
            }
            errors[i] = 0;
        }
        if (best == 0)
            return;
        int& weight = weights[(best - 1) / 2];
        if (best & 1) {
            if (weight >= -16)
                --weight;
        } else if (weight < 16) {
            ++weight;
        }
    }
};

} // namespace Rar20
} // namespace Vorn
