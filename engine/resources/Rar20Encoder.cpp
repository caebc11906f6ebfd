#include "engine/resources/Rar20Encoder.h"

#include <cmath>
#include <cstring>
#include <new>

#include "engine/resources/Rar20Format.h"

namespace Vorn {

using namespace Rar20;

namespace {

// The input is judged in units: each unit is parsed as LZ and simulated as multimedia
// data with one to four lanes, and goes to whichever codes it smaller, joining the open
// block or starting a new one. A multiple of 4 keeps byte lanes aligned with samples.
constexpr uint32_t UnitSize = 32 * 1024;
constexpr uint32_t MaxDictDistance = Rar20EncoderDictionary - 1;
constexpr uint32_t MaxMatch = 257;    // fits every copy form at every distance
constexpr uint32_t NiceLength = 128;  // a match this long is taken without weighing others
constexpr int ChainDepth = 256;
constexpr uint32_t GoodLength = 32;  // past this, the chain search is cut to a quarter
constexpr int MaxMatchesPerPosition = 16;
constexpr int HashBits = 17;
constexpr uint32_t MaxBlockSymbols = 128 * 1024;
constexpr uint32_t MaxAudioBlock = 1024 * 1024;
constexpr uint32_t Unreached = 0xFFFFFFFFu;
constexpr int PriceScale = 16; // prices are in 1/16 bit

// ---- Bit output ----------------------------------------------------------------------

class BitWriter {
public:
    ~BitWriter() { delete[] bytes; }

    void Write(uint32_t value, int count) // count 0..24, value < 2^count
    {
        accumulator = (accumulator << count) | value;
        bitCount += count;
        while (bitCount >= 8) {
            bitCount -= 8;
            PutByte(uint8_t(accumulator >> bitCount));
        }
    }

    void FinishByte()
    {
        if (bitCount)
            Write(0, 8 - bitCount);
    }

    void PutByte(uint8_t byte)
    {
        if (size == capacity && !Grow())
            return;
        bytes[size++] = byte;
    }

    uint64_t GetBitPosition() const { return uint64_t(size) * 8 + uint64_t(bitCount); }

    uint8_t* Release()
    {
        uint8_t* result = bytes;
        bytes = nullptr;
        return result;
    }

    uint8_t* bytes = nullptr;
    uint32_t size = 0;
    bool failed = false;

private:
    bool Grow()
    {
        uint32_t bigger = capacity ? capacity * 2 : 64 * 1024;
        if (failed || bigger < capacity) {
            failed = true;
            return false;
        }
        uint8_t* grown = new (std::nothrow) uint8_t[bigger];
        if (!grown) {
            failed = true;
            return false;
        }
        if (size)
            std::memcpy(grown, bytes, size);
        delete[] bytes;
        bytes = grown;
        capacity = bigger;
        return true;
    }

    uint64_t accumulator = 0;
    int bitCount = 0;
    uint32_t capacity = 0;
};

// ---- Huffman codes -------------------------------------------------------------------

// Optimal code lengths, limited to 15 bits and always complete: a lone symbol is paired
// with a dummy, because some decoders reject codes that leave space unused.
void BuildCodeLengths(const uint32_t* frequencies, int count, uint8_t* lengths)
{
    std::memset(lengths, 0, size_t(count));
    int order[MainSymbols];
    int used = 0;
    for (int symbol = 0; symbol < count; ++symbol)
        if (frequencies[symbol])
            order[used++] = symbol;
    if (used == 0)
        return;
    if (used == 1) {
        lengths[order[0]] = 1;
        lengths[order[0] == 0 ? 1 : 0] = 1;
        return;
    }
    // Insertion sort by frequency, ties by symbol: deterministic and short lists.
    for (int i = 1; i < used; ++i) {
        int symbol = order[i];
        int j = i;
        while (j > 0 && frequencies[order[j - 1]] > frequencies[symbol]) {
            order[j] = order[j - 1];
            --j;
        }
        order[j] = symbol;
    }

    // Two-queue Huffman construction over the sorted leaves.
    uint64_t weight[2 * MainSymbols];
    int parent[2 * MainSymbols];
    for (int i = 0; i < used; ++i)
        weight[i] = frequencies[order[i]];
    int leaf = 0;
    int inner = used;
    int nextNode = used;
    for (int step = 0; step < used - 1; ++step) {
        int picked[2];
        for (int& pick : picked) {
            if (leaf < used && (inner >= nextNode || weight[leaf] <= weight[inner]))
                pick = leaf++;
            else
                pick = inner++;
        }
        weight[nextNode] = weight[picked[0]] + weight[picked[1]];
        parent[picked[0]] = nextNode;
        parent[picked[1]] = nextNode;
        ++nextNode;
    }
    int depth[2 * MainSymbols];
    int root = nextNode - 1;
    depth[root] = 0;
    for (int node = root - 1; node >= 0; --node)
        depth[node] = depth[parent[node]] + 1;

    int lengthCount[64] = {};
    for (int i = 0; i < used; ++i)
        ++lengthCount[depth[i] > MaxCodeLength ? MaxCodeLength : depth[i]];

    // Clamping broke the Kraft sum; push leaves deeper until it balances again, then
    // pull some back up if the last push overshot.
    const uint32_t full = 1u << MaxCodeLength;
    uint32_t kraft = 0;
    for (int length = 1; length <= MaxCodeLength; ++length)
        kraft += uint32_t(lengthCount[length]) << (MaxCodeLength - length);
    while (kraft > full) {
        int length = MaxCodeLength - 1;
        while (lengthCount[length] == 0)
            --length;
        --lengthCount[length];
        ++lengthCount[length + 1];
        kraft -= 1u << (MaxCodeLength - length - 1);
    }
    while (kraft < full) {
        int length = MaxCodeLength;
        while (length > 1 && (lengthCount[length] == 0 || (1u << (MaxCodeLength - length)) > full - kraft))
            --length;
        --lengthCount[length];
        ++lengthCount[length - 1];
        kraft += 1u << (MaxCodeLength - length);
    }

    // The rarest symbols get the longest codes.
    int next = 0;
    for (int length = MaxCodeLength; length >= 1; --length)
        for (int i = 0; i < lengthCount[length]; ++i)
            lengths[order[next++]] = uint8_t(length);
}

struct PrefixCode {
    uint16_t codes[MainSymbols];
    uint8_t lengths[MainSymbols];

    void Assign(const uint8_t* symbolLengths, int count)
    {
        int lengthCount[MaxCodeLength + 1] = {};
        for (int i = 0; i < count; ++i)
            ++lengthCount[symbolLengths[i]];
        uint32_t next[MaxCodeLength + 1];
        uint32_t code = 0;
        lengthCount[0] = 0;
        for (int length = 1; length <= MaxCodeLength; ++length) {
            code = (code + uint32_t(lengthCount[length - 1])) << 1;
            next[length] = code;
        }
        for (int i = 0; i < count; ++i) {
            lengths[i] = symbolLengths[i];
            codes[i] = lengths[i] ? uint16_t(next[lengths[i]]++) : 0;
        }
    }

    void Put(BitWriter& writer, int symbol) const { writer.Write(codes[symbol], lengths[symbol]); }
};

uint64_t CodedBits(const uint32_t* frequencies, const uint8_t* lengths, int count)
{
    uint64_t bits = 0;
    for (int i = 0; i < count; ++i)
        bits += uint64_t(frequencies[i]) * lengths[i];
    return bits;
}

// ---- Table blocks ----------------------------------------------------------------------

struct LevelOp {
    uint8_t symbol;
    uint8_t extraBits;
    uint8_t extraValue;
};

// Run-length form of a length array: zero runs (17, 18), repeats of the previous length
// (16), otherwise the change against `base` modulo 16.
int EncodeLengths(const uint8_t* lengths, const uint8_t* base, int count, LevelOp* ops)
{
    int numOps = 0;
    for (int i = 0; i < count;) {
        uint8_t value = lengths[i];
        int run = 1;
        while (i + run < count && lengths[i + run] == value && run < 138)
            ++run;
        if (value == 0 && run >= 11) {
            ops[numOps++] = {18, 7, uint8_t(run - 11)};
            i += run;
        } else if (value == 0 && run >= 3) {
            ops[numOps++] = {17, 3, uint8_t(run - 3)};
            i += run;
        } else if (value != 0 && i > 0 && lengths[i - 1] == value && run >= 3) {
            int repeat = run > 6 ? 6 : run;
            ops[numOps++] = {16, 2, uint8_t(repeat - 3)};
            i += repeat;
        } else {
            ops[numOps++] = {uint8_t((value - base[i]) & 15), 0, 0};
            ++i;
        }
    }
    return numOps;
}

struct TablePlan {
    LevelOp ops[MaxTableSize];
    int numOps;
    uint8_t levelLengths[LevelSymbols];
    bool keep;
    uint32_t bits;
};

void PlanWith(const uint8_t* lengths, int count, const uint8_t* base, bool audio, TablePlan& plan)
{
    plan.numOps = EncodeLengths(lengths, base, count, plan.ops);
    uint32_t frequencies[LevelSymbols] = {};
    uint32_t extra = 0;
    for (int i = 0; i < plan.numOps; ++i) {
        ++frequencies[plan.ops[i].symbol];
        extra += plan.ops[i].extraBits;
    }
    BuildCodeLengths(frequencies, LevelSymbols, plan.levelLengths);
    plan.bits = 2 + (audio ? 2 : 0) + 4 * LevelSymbols + extra +
                uint32_t(CodedBits(frequencies, plan.levelLengths, LevelSymbols));
}

// Chooses between coding the lengths afresh and as changes to the previous table (only
// offered when that table had the same mode and lane count).
void PlanTable(const uint8_t* lengths, int count, const uint8_t* previous, bool audio, TablePlan& plan)
{
    static const uint8_t noLengths[MaxTableSize] = {};
    PlanWith(lengths, count, noLengths, audio, plan);
    plan.keep = false;
    if (!previous)
        return;
    TablePlan* kept = new (std::nothrow) TablePlan;
    if (!kept)
        return;
    PlanWith(lengths, count, previous, audio, *kept);
    if (kept->bits < plan.bits) {
        plan = *kept;
        plan.keep = true;
    }
    delete kept;
}

uint32_t EstimateTableBits(const uint8_t* lengths, int count, bool audio)
{
    static const uint8_t noLengths[MaxTableSize] = {};
    LevelOp ops[MaxTableSize];
    int numOps = EncodeLengths(lengths, noLengths, count, ops);
    uint32_t frequencies[LevelSymbols] = {};
    uint32_t extra = 0;
    for (int i = 0; i < numOps; ++i) {
        ++frequencies[ops[i].symbol];
        extra += ops[i].extraBits;
    }
    uint8_t levelLengths[LevelSymbols];
    BuildCodeLengths(frequencies, LevelSymbols, levelLengths);
    return 2 + (audio ? 2 : 0) + 4 * LevelSymbols + extra + uint32_t(CodedBits(frequencies, levelLengths, LevelSymbols));
}

void WriteTable(BitWriter& writer, const TablePlan& plan, bool audio, int channels)
{
    writer.Write(audio ? 1 : 0, 1);
    writer.Write(plan.keep ? 1 : 0, 1);
    if (audio)
        writer.Write(uint32_t(channels - 1), 2);
    for (int i = 0; i < LevelSymbols; ++i)
        writer.Write(plan.levelLengths[i], 4);
    PrefixCode levelCode;
    levelCode.Assign(plan.levelLengths, LevelSymbols);
    for (int i = 0; i < plan.numOps; ++i) {
        levelCode.Put(writer, plan.ops[i].symbol);
        writer.Write(plan.ops[i].extraValue, plan.ops[i].extraBits);
    }
}

// ---- LZ symbols, statistics and prices ---------------------------------------------------

// One coded LZ step: the main symbol and what follows it in the stream.
struct LzSymbol {
    uint16_t main;
    uint8_t second; // distance symbol (long copies) or length symbol (old distances)
    uint8_t lengthExtraBits;
    uint8_t distanceExtraBits;
    uint8_t lengthExtra;
    uint16_t distanceExtra;
};

struct LzHistogram {
    uint32_t main[MainSymbols];
    uint32_t distance[DistanceSymbols];
    uint32_t length[LengthSymbols];
    uint64_t extraBits;

    void Clear() { std::memset(this, 0, sizeof *this); }
    void Add(const LzHistogram& other)
    {
        for (int i = 0; i < MainSymbols; ++i)
            main[i] += other.main[i];
        for (int i = 0; i < DistanceSymbols; ++i)
            distance[i] += other.distance[i];
        for (int i = 0; i < LengthSymbols; ++i)
            length[i] += other.length[i];
        extraBits += other.extraBits;
    }
    void Count(const LzSymbol& symbol)
    {
        ++main[symbol.main];
        if (symbol.main >= LongMatchSymbol)
            ++distance[symbol.second];
        else if (symbol.main > RepeatLastSymbol && symbol.main < ShortMatchSymbol)
            ++length[symbol.second];
        extraBits += symbol.lengthExtraBits + symbol.distanceExtraBits;
    }
};

void BuildLzLengths(const LzHistogram& histogram, uint8_t* lengths)
{
    BuildCodeLengths(histogram.main, MainSymbols, lengths);
    BuildCodeLengths(histogram.distance, DistanceSymbols, lengths + MainSymbols);
    BuildCodeLengths(histogram.length, LengthSymbols, lengths + MainSymbols + DistanceSymbols);
}

uint64_t EstimateLzBits(const LzHistogram& histogram)
{
    uint8_t lengths[LzTableSize];
    BuildLzLengths(histogram, lengths);
    return CodedBits(histogram.main, lengths, MainSymbols) +
           CodedBits(histogram.distance, lengths + MainSymbols, DistanceSymbols) +
           CodedBits(histogram.length, lengths + MainSymbols + DistanceSymbols, LengthSymbols) +
           histogram.extraBits + EstimateTableBits(lengths, LzTableSize, false);
}

struct LengthSlots {
    uint8_t slot[256];
};

constexpr LengthSlots BuildLengthSlots()
{
    LengthSlots slots{};
    for (int slot = 0; slot < LengthSymbols; ++slot)
        for (int value = lengthBase[slot]; value < lengthBase[slot] + (1 << lengthBits[slot]) && value < 256; ++value)
            slots.slot[value] = uint8_t(slot);
    return slots;
}

constexpr LengthSlots lengthSlots = BuildLengthSlots();

inline int DistanceSlot(uint32_t distance) // distance 1..262143
{
    uint32_t value = distance - 1;
    if (value < 4)
        return int(value);
    int high = 31 - __builtin_clz(value);
    return 2 * high + int((value >> (high - 1)) & 1);
}

inline int ShortSlot(uint32_t distance) // distance 1..256
{
    uint32_t value = distance - 1;
    if (value < 8)
        return value < 4 ? 0 : 1;
    if (value >= 128)
        return value < 192 ? 6 : 7;
    return 31 - __builtin_clz(value) - 1;
}

// Old-distance copies need more length at farther distances.
inline uint32_t MinOldDistanceLength(uint32_t distance)
{
    return 2 + (distance >= OldDistanceBonus) + (distance >= NearBonus);
}

inline uint32_t MinLongLength(uint32_t distance)
{
    return 3 + (distance >= NearBonus);
}

struct Prices {
    uint32_t main[MainSymbols];
    uint32_t distance[DistanceSymbols];
    uint32_t longLength[256]; // main symbol and extra bits for a coded long length
    uint32_t oldLength[256];  // length symbol and extra bits for a coded old-distance length

    uint32_t Distance(uint32_t value) const
    {
        int slot = DistanceSlot(value);
        return distance[slot] + distanceBits[slot] * PriceScale;
    }
    uint32_t Short(uint32_t value) const
    {
        int slot = ShortSlot(value);
        return main[ShortMatchSymbol + slot] + shortBits[slot] * PriceScale;
    }
};

void FillPrices(const uint32_t* frequencies, int count, uint32_t* prices)
{
    double total = 0;
    for (int i = 0; i < count; ++i)
        total += frequencies[i];
    total += 0.5 * count;
    for (int i = 0; i < count; ++i) {
        double bits = std::log2(total / (frequencies[i] + 0.5));
        if (bits > MaxCodeLength + 2)
            bits = MaxCodeLength + 2;
        if (bits < 1)
            bits = 1;
        prices[i] = uint32_t(bits * PriceScale + 0.5);
    }
}

void SetPrices(const LzHistogram& histogram, Prices& prices)
{
    uint32_t lengthPrices[LengthSymbols];
    FillPrices(histogram.main, MainSymbols, prices.main);
    FillPrices(histogram.distance, DistanceSymbols, prices.distance);
    FillPrices(histogram.length, LengthSymbols, lengthPrices);
    for (int value = 0; value < 256; ++value) {
        int slot = lengthSlots.slot[value];
        prices.longLength[value] = prices.main[LongMatchSymbol + slot] + lengthBits[slot] * PriceScale;
        prices.oldLength[value] = lengthPrices[slot] + lengthBits[slot] * PriceScale;
    }
}

// A plausible starting point for a file's first unit: literals a little cheaper than
// bytes, short lengths and near distances favoured.
void DefaultHistogram(LzHistogram& histogram)
{
    histogram.Clear();
    for (int i = 0; i < 256; ++i)
        histogram.main[i] = 24;
    for (int i = 0; i < 4; ++i)
        histogram.main[OldDistanceSymbol + i] = 64 >> i;
    histogram.main[RepeatLastSymbol] = 8;
    for (int i = 0; i < 8; ++i)
        histogram.main[ShortMatchSymbol + i] = 32;
    for (int i = 0; i < LengthSymbols; ++i) {
        histogram.main[LongMatchSymbol + i] = 256 >> (i / 3);
        histogram.length[i] = 256 >> (i / 3);
    }
    for (int i = 0; i < DistanceSymbols; ++i)
        histogram.distance[i] = 64;
}

// ---- Match finding -------------------------------------------------------------------

struct Match {
    uint32_t length;
    uint32_t distance;
};

inline uint32_t CommonLength(const uint8_t* a, const uint8_t* b, uint32_t limit)
{
    uint32_t length = 0;
    while (length + 8 <= limit) {
        uint64_t x;
        uint64_t y;
        std::memcpy(&x, a + length, 8);
        std::memcpy(&y, b + length, 8);
        uint64_t diff = x ^ y;
        if (diff)
            return length + uint32_t(__builtin_ctzll(diff) >> 3);
        length += 8;
    }
    while (length < limit && a[length] == b[length])
        ++length;
    return length;
}

// Hash chains over 4-byte prefixes, the latest position of every 3-byte prefix for the
// shortest long copies, and the latest position of every 2-byte value for the length-2
// forms. Chaining 3-byte prefixes instead would walk very long chains in binary data.
class MatchFinder {
public:
    ~MatchFinder()
    {
        delete[] head;
        delete[] head3;
        delete[] chain;
        delete[] lastPair;
    }

    bool Allocate()
    {
        head = new (std::nothrow) int32_t[1u << HashBits];
        head3 = new (std::nothrow) int32_t[1u << HashBits];
        chain = new (std::nothrow) int32_t[Rar20EncoderDictionary];
        lastPair = new (std::nothrow) int32_t[65536];
        if (!head || !head3 || !chain || !lastPair)
            return false;
        for (uint32_t i = 0; i < (1u << HashBits); ++i)
            head[i] = head3[i] = -1;
        for (uint32_t i = 0; i < 65536; ++i)
            lastPair[i] = -1;
        return true;
    }

    // Lists matches of growing length at pos (each the nearest found of its length), then
    // records pos. Returns the number listed.
    int Find(const uint8_t* data, uint32_t size, uint32_t pos, uint32_t maxLength, Match* matches,
             uint32_t& shortDistance)
    {
        shortDistance = 0;
        int numMatches = 0;
        if (pos + 1 < size) {
            uint32_t pair = uint32_t(data[pos]) << 8 | data[pos + 1];
            int32_t previous = lastPair[pair];
            if (previous >= 0 && pos - uint32_t(previous) <= 256 && maxLength >= 2)
                shortDistance = pos - uint32_t(previous);
            lastPair[pair] = int32_t(pos);
        }
        if (pos + 2 >= size)
            return 0;
        const uint8_t* current = data + pos;
        uint32_t prefix3 = uint32_t(current[0]) << 16 | uint32_t(current[1]) << 8 | current[2];
        uint32_t hash3 = (prefix3 * 2654435761u) >> (32 - HashBits);
        int32_t candidate3 = head3[hash3];
        head3[hash3] = int32_t(pos);
        int32_t candidate = -1;
        if (pos + 3 < size) {
            uint32_t hash4 = ((prefix3 << 8 | current[3]) * 2246822519u) >> (32 - HashBits);
            candidate = head[hash4];
            head[hash4] = int32_t(pos);
            chain[pos & (Rar20EncoderDictionary - 1)] = candidate;
        }
        if (maxLength < 3)
            return 0;

        uint32_t best = 2;
        if (candidate3 >= 0) {
            uint32_t distance = pos - uint32_t(candidate3);
            if (distance <= MaxDictDistance) {
                uint32_t length = CommonLength(current, data + candidate3, maxLength);
                if (length >= MinLongLength(distance)) {
                    best = length;
                    matches[numMatches++] = {length, distance};
                    if (length >= NiceLength || length == maxLength)
                        return numMatches;
                }
            }
        }
        int depth = ChainDepth;
        while (depth-- > 0 && candidate >= 0) {
            uint32_t distance = pos - uint32_t(candidate);
            if (distance > MaxDictDistance)
                break;
            const uint8_t* earlier = data + candidate;
            if (earlier[best] == current[best] && earlier[0] == current[0]) {
                uint32_t length = CommonLength(current, earlier, maxLength);
                if (length > best && length >= MinLongLength(distance)) {
                    if (best < GoodLength && length >= GoodLength)
                        depth >>= 2;
                    best = length;
                    if (numMatches == MaxMatchesPerPosition)
                        --numMatches;
                    matches[numMatches++] = {length, distance};
                    if (length >= NiceLength || length == maxLength)
                        break;
                }
            }
            candidate = chain[uint32_t(candidate) & (Rar20EncoderDictionary - 1)];
        }
        return numMatches;
    }

private:
    int32_t* head = nullptr;
    int32_t* head3 = nullptr;
    int32_t* chain = nullptr;
    int32_t* lastPair = nullptr;
};

// ---- Optimal parsing -----------------------------------------------------------------

struct LzState {
    uint32_t distances[4]; // most recent first
    uint32_t lastLength;

    void Push(uint32_t distance, uint32_t length)
    {
        distances[3] = distances[2];
        distances[2] = distances[1];
        distances[1] = distances[0];
        distances[0] = distance;
        lastLength = length;
    }
};

enum StepKind : uint8_t { StepLiteral, StepShort, StepLong, StepOld, StepRepeat };

struct ParseNode {
    uint32_t price;
    uint32_t from;
    uint32_t distance;
    uint16_t length;
    uint8_t kind;
    uint8_t oldIndex;
    LzState state;
};

// ---- Multimedia mode -------------------------------------------------------------------

struct AudioState {
    AudioPredictor lanes[MaxChannels];
    int channelDelta;
    int currentChannel;
};

struct AudioHistogram {
    uint32_t counts[MaxChannels][AudioSymbols];
};

// Runs the predictor over bytes exactly as a decoder will, producing the residuals.
void SimulateAudio(AudioState& state, int channels, bool newTable, const uint8_t* bytes, uint32_t count,
                   uint8_t* residuals, AudioHistogram& histogram)
{
    if (newTable && state.currentChannel >= channels)
        state.currentChannel = 0;
    int lane = state.currentChannel;
    for (uint32_t i = 0; i < count; ++i) {
        AudioPredictor& predictor = state.lanes[lane];
        int predicted = predictor.Predict(state.channelDelta);
        int residual = (predicted - bytes[i]) & 0xFF;
        predictor.Update(residual, bytes[i], state.channelDelta);
        residuals[i] = uint8_t(residual);
        ++histogram.counts[lane][residual];
        if (++lane >= channels)
            lane = 0;
    }
    state.currentChannel = lane;
}

uint64_t EstimateAudioBits(const AudioHistogram& histogram, int channels)
{
    uint8_t lengths[MaxTableSize];
    uint64_t bits = 0;
    for (int c = 0; c < channels; ++c) {
        BuildCodeLengths(histogram.counts[c], AudioSymbols, lengths + c * AudioSymbols);
        bits += CodedBits(histogram.counts[c], lengths + c * AudioSymbols, AudioSymbols);
    }
    return bits + EstimateTableBits(lengths, AudioSymbols * channels, true);
}

// ---- The encoder ---------------------------------------------------------------------

enum BlockMode { ModeNone, ModeLz, ModeAudio };

class Encoder {
public:
    ~Encoder()
    {
        delete[] nodes;
        delete[] path;
        delete[] matchCounts;
        delete[] matches;
        delete[] shortDistances;
        delete[] unitSymbols;
        delete[] candidateSymbols;
        delete[] blockSymbols;
        delete[] residuals;
        delete[] blockResiduals;
    }

    bool Allocate()
    {
        nodes = new (std::nothrow) ParseNode[UnitSize + 1];
        path = new (std::nothrow) uint32_t[UnitSize + 1];
        matchCounts = new (std::nothrow) uint8_t[UnitSize];
        matches = new (std::nothrow) Match[size_t(UnitSize) * MaxMatchesPerPosition];
        shortDistances = new (std::nothrow) uint16_t[UnitSize];
        unitSymbols = new (std::nothrow) LzSymbol[UnitSize];
        candidateSymbols = new (std::nothrow) LzSymbol[UnitSize];
        blockSymbols = new (std::nothrow) LzSymbol[MaxBlockSymbols];
        residuals = new (std::nothrow) uint8_t[size_t(UnitSize) * MaxChannels];
        blockResiduals = new (std::nothrow) uint8_t[MaxAudioBlock];
        return nodes && path && matchCounts && matches && shortDistances && unitSymbols && candidateSymbols && blockSymbols &&
               residuals && blockResiduals && finder.Allocate();
    }

    int Run(const uint8_t* input, uint32_t inputSize)
    {
        data = input;
        size = inputSize;
        std::memset(&lzState, 0, sizeof lzState);
        std::memset(&audioState, 0, sizeof audioState);
        std::memset(previousLengths, 0, sizeof previousLengths);
        DefaultHistogram(lastLzHistogram);
        for (uint32_t start = 0; start < size; start += UnitSize) {
            uint32_t end = size - start < UnitSize ? size : start + UnitSize;
            EncodeUnit(start, end);
        }
        FlushBlock(true);
        writer.FinishByte();
        // Decoders that peek past the last code find this byte instead of the end.
        writer.PutByte(0);
        return writer.failed ? 2 : 0;
    }

    BitWriter writer;
    Rar20EncoderStats stats = {};

private:
    void FindUnitMatches(uint32_t start, uint32_t end)
    {
        for (uint32_t pos = start; pos < end; ++pos) {
            uint32_t i = pos - start;
            uint32_t maxLength = end - pos < MaxMatch ? end - pos : MaxMatch;
            uint32_t shortDistance;
            matchCounts[i] = uint8_t(
                finder.Find(data, size, pos, maxLength, matches + size_t(i) * MaxMatchesPerPosition, shortDistance));
            shortDistances[i] = uint16_t(shortDistance);
        }
    }

    void Relax(uint32_t target, uint32_t price, uint32_t from, StepKind kind, uint32_t length, uint32_t distance,
               int oldIndex = 0)
    {
        ParseNode& node = nodes[target];
        if (price < node.price) {
            node.price = price;
            node.from = from;
            node.kind = kind;
            node.length = uint16_t(length);
            node.distance = distance;
            node.oldIndex = uint8_t(oldIndex);
        }
    }

    // Cheapest path through the unit under fixed prices. Each node carries the distance
    // history of its best path, which is what old-distance copies from it can use.
    // Returns the number of symbols written to out.
    uint32_t Parse(uint32_t start, uint32_t end, const Prices& prices, const LzState& initial, LzSymbol* out,
                   LzHistogram& histogram, LzState& final)
    {
        uint32_t count = end - start;
        for (uint32_t i = 0; i <= count; ++i)
            nodes[i].price = Unreached;
        nodes[0].price = 0;
        nodes[0].state = initial;
        uint32_t skipUntil = 0;

        for (uint32_t i = 0; i < count; ++i) {
            ParseNode& node = nodes[i];
            if (node.price == Unreached || i < skipUntil)
                continue;
            if (i > 0) {
                node.state = nodes[node.from].state;
                if (node.kind != StepLiteral)
                    node.state.Push(node.distance, node.length);
            }
            const LzState& state = node.state;
            uint32_t pos = start + i;
            uint32_t maxLength = count - i < MaxMatch ? count - i : MaxMatch;
            uint32_t base = node.price;
            const uint8_t* current = data + pos;

            Relax(i + 1, base + prices.main[*current], i, StepLiteral, 1, 0);

            // The longest candidate decides whether this position is worth weighing at all.
            uint32_t longest = 0;
            StepKind longestKind = StepLiteral;
            uint32_t longestDistance = 0;
            int longestIndex = 0;

            uint32_t oldLengths[4] = {};
            for (int r = 0; r < 4; ++r) {
                uint32_t distance = state.distances[r];
                if (distance == 0 || distance > pos || distance > MaxDictDistance)
                    continue;
                bool seen = false;
                for (int q = 0; q < r; ++q)
                    seen = seen || state.distances[q] == distance;
                if (seen)
                    continue;
                uint32_t length = CommonLength(current, current - distance, maxLength);
                if (length < MinOldDistanceLength(distance))
                    continue;
                oldLengths[r] = length;
                if (length > longest) {
                    longest = length;
                    longestKind = StepOld;
                    longestDistance = distance;
                    longestIndex = r;
                }
            }
            int numMatches = matchCounts[i];
            const Match* list = matches + size_t(i) * MaxMatchesPerPosition;
            if (numMatches && list[numMatches - 1].length > longest + 1) {
                longest = list[numMatches - 1].length;
                longestKind = StepLong;
                longestDistance = list[numMatches - 1].distance;
            }

            uint32_t lastLength = state.lastLength;
            bool canRepeat = lastLength >= 2 && lastLength <= maxLength && state.distances[0] &&
                             state.distances[0] <= pos && oldLengths[0] >= lastLength;
            if (longest >= NiceLength && canRepeat && lastLength + 8 >= longest) {
                // Runs and repeated records: one short symbol per copy beats a longer copy.
                Relax(i + lastLength, base + prices.main[RepeatLastSymbol], i, StepRepeat, lastLength,
                      state.distances[0]);
                skipUntil = i + lastLength;
                continue;
            }
            if (longest >= NiceLength) {
                uint32_t price = longestKind == StepOld
                                     ? base + prices.main[OldDistanceSymbol + longestIndex] +
                                           prices.oldLength[longest - MinOldDistanceLength(longestDistance)]
                                     : base + prices.longLength[longest - MinLongLength(longestDistance)] +
                                           prices.Distance(longestDistance);
                Relax(i + longest, price, i, longestKind, longest, longestDistance, longestIndex);
                skipUntil = i + longest;
                continue;
            }

            if (canRepeat)
                Relax(i + lastLength, base + prices.main[RepeatLastSymbol], i, StepRepeat, lastLength,
                      state.distances[0]);
            for (int r = 0; r < 4; ++r) {
                if (!oldLengths[r])
                    continue;
                uint32_t distance = state.distances[r];
                uint32_t minLength = MinOldDistanceLength(distance);
                uint32_t symbolPrice = base + prices.main[OldDistanceSymbol + r];
                for (uint32_t length = minLength; length <= oldLengths[r]; ++length)
                    Relax(i + length, symbolPrice + prices.oldLength[length - minLength], i, StepOld, length, distance,
                          r);
            }
            if (shortDistances[i])
                Relax(i + 2, base + prices.Short(shortDistances[i]), i, StepShort, 2, shortDistances[i]);
            uint32_t covered = 2;
            for (int m = 0; m < numMatches; ++m) {
                uint32_t distance = list[m].distance;
                uint32_t minLength = MinLongLength(distance);
                uint32_t distancePrice = base + prices.Distance(distance);
                uint32_t from = covered + 1 > minLength ? covered + 1 : minLength;
                for (uint32_t length = from; length <= list[m].length; ++length)
                    Relax(i + length, distancePrice + prices.longLength[length - minLength], i, StepLong, length,
                          distance);
                covered = list[m].length;
            }
        }

        // Walk back from the end, then replay forwards.
        uint32_t steps = 0;
        for (uint32_t at = count; at > 0; at = nodes[at].from)
            path[steps++] = at;
        histogram.Clear();
        LzState state = initial;
        uint32_t pos = 0;
        for (uint32_t s = 0; s < steps; ++s) {
            uint32_t target = path[steps - 1 - s];
            const ParseNode& step = nodes[target];
            LzSymbol& symbol = out[s];
            MakeSymbol(step, state, data[start + pos], symbol);
            histogram.Count(symbol);
            if (step.kind != StepLiteral)
                state.Push(step.distance, step.length);
            pos = target;
        }
        final = state;
        return steps;
    }

    static void MakeSymbol(const ParseNode& step, const LzState& state, uint8_t literal, LzSymbol& symbol)
    {
        (void)state;
        std::memset(&symbol, 0, sizeof symbol);
        switch (step.kind) {
        case StepLiteral:
            symbol.main = literal;
            break;
        case StepRepeat:
            symbol.main = RepeatLastSymbol;
            break;
        case StepShort: {
            int slot = ShortSlot(step.distance);
            symbol.main = uint16_t(ShortMatchSymbol + slot);
            symbol.distanceExtraBits = shortBits[slot];
            symbol.distanceExtra = uint16_t(step.distance - 1 - shortBase[slot]);
            break;
        }
        case StepOld: {
            uint32_t coded = step.length - MinOldDistanceLength(step.distance);
            int slot = lengthSlots.slot[coded];
            symbol.main = uint16_t(OldDistanceSymbol + step.oldIndex);
            symbol.second = uint8_t(slot);
            symbol.lengthExtraBits = lengthBits[slot];
            symbol.lengthExtra = uint8_t(coded - lengthBase[slot]);
            break;
        }
        case StepLong: {
            uint32_t coded = step.length - MinLongLength(step.distance);
            int slot = lengthSlots.slot[coded];
            int distanceSlot = DistanceSlot(step.distance);
            symbol.main = uint16_t(LongMatchSymbol + slot);
            symbol.lengthExtraBits = lengthBits[slot];
            symbol.lengthExtra = uint8_t(coded - lengthBase[slot]);
            symbol.second = uint8_t(distanceSlot);
            symbol.distanceExtraBits = distanceBits[distanceSlot];
            symbol.distanceExtra = uint16_t(step.distance - 1 - distanceBase[distanceSlot]);
            break;
        }
        }
    }

    void EncodeUnit(uint32_t start, uint32_t end)
    {
        uint32_t count = end - start;
        FindUnitMatches(start, end);

        // LZ: parse with the prices of what came before, then again with the prices this
        // unit's own first parse implies, and keep the cheaper result.
        Prices prices;
        LzHistogram reference = lastLzHistogram;
        if (pendingMode == ModeLz)
            reference = blockLzHistogram;
        SetPrices(reference, prices);
        LzHistogram firstHistogram;
        LzState firstState;
        uint32_t firstCount = Parse(start, end, prices, lzState, unitSymbols, firstHistogram, firstState);
        uint64_t firstBits = EstimateLzBits(firstHistogram);

        LzHistogram blended = firstHistogram;
        if (pendingMode == ModeLz)
            blended.Add(blockLzHistogram);
        SetPrices(blended, prices);
        LzHistogram unitHistogram;
        LzState unitState;
        uint32_t unitCount = Parse(start, end, prices, lzState, candidateSymbols, unitHistogram, unitState);
        uint64_t lzBits = EstimateLzBits(unitHistogram);
        if (lzBits < firstBits) {
            LzSymbol* swap = unitSymbols;
            unitSymbols = candidateSymbols;
            candidateSymbols = swap;
        } else {
            unitCount = firstCount;
            unitHistogram = firstHistogram;
            unitState = firstState;
            lzBits = firstBits;
        }

        bool lzJoins = false;
        uint64_t lzCost = lzBits;
        if (pendingMode == ModeLz && blockSymbolCount + unitCount <= MaxBlockSymbols) {
            LzHistogram merged = blockLzHistogram;
            merged.Add(unitHistogram);
            uint64_t mergedBits = EstimateLzBits(merged);
            uint64_t joined = mergedBits > blockLzBits ? mergedBits - blockLzBits : 0;
            if (joined <= lzBits) {
                lzJoins = true;
                lzCost = joined;
            }
        }

        // Multimedia: every lane count, from the predictor state as it stands.
        int bestChannels = 0;
        uint64_t bestAudioCost = ~uint64_t(0);
        bool audioJoins = false;
        AudioState bestState;
        AudioHistogram bestHistogram;
        for (int channels = 1; channels <= MaxChannels; ++channels) {
            bool canJoin = pendingMode == ModeAudio && pendingChannels == channels &&
                           blockResidualCount + count <= MaxAudioBlock;
            AudioState trial = audioState;
            AudioHistogram histogram;
            std::memset(&histogram, 0, sizeof histogram);
            uint8_t* trialResiduals = residuals + size_t(channels - 1) * UnitSize;
            SimulateAudio(trial, channels, !canJoin, data + start, count, trialResiduals, histogram);
            uint64_t cost = EstimateAudioBits(histogram, channels);
            bool joins = false;
            if (canJoin) {
                AudioHistogram merged = blockAudioHistogram;
                for (int c = 0; c < channels; ++c)
                    for (int s = 0; s < AudioSymbols; ++s)
                        merged.counts[c][s] += histogram.counts[c][s];
                uint64_t mergedBits = EstimateAudioBits(merged, channels);
                uint64_t joined = mergedBits > blockAudioBits ? mergedBits - blockAudioBits : 0;
                if (joined <= cost) {
                    cost = joined;
                    joins = true;
                }
            }
            if (cost < bestAudioCost) {
                bestAudioCost = cost;
                bestChannels = channels;
                bestState = trial;
                bestHistogram = histogram;
                audioJoins = joins;
            }
        }

        if (lzCost <= bestAudioCost) {
            if (!lzJoins)
                FlushBlock(false);
            pendingMode = ModeLz;
            std::memcpy(blockSymbols + blockSymbolCount, unitSymbols, size_t(unitCount) * sizeof(LzSymbol));
            blockSymbolCount += unitCount;
            blockLzHistogram.Add(unitHistogram);
            blockLzBits = EstimateLzBits(blockLzHistogram);
            lzState = unitState;
        } else {
            if (!audioJoins) {
                FlushBlock(false);
                // The simulation already applied the lane reset a new table causes.
                pendingStartChannel = audioState.currentChannel >= bestChannels ? 0 : audioState.currentChannel;
            }
            pendingMode = ModeAudio;
            pendingChannels = bestChannels;
            std::memcpy(blockResiduals + blockResidualCount, residuals + size_t(bestChannels - 1) * UnitSize, count);
            blockResidualCount += count;
            for (int c = 0; c < bestChannels; ++c)
                for (int s = 0; s < AudioSymbols; ++s)
                    blockAudioHistogram.counts[c][s] += bestHistogram.counts[c][s];
            blockAudioBits = EstimateAudioBits(blockAudioHistogram, bestChannels);
            audioState = bestState;
            stats.audioBytes += count;
        }
    }

    const uint8_t* KeepBase(bool audio, int channels) const
    {
        if (!tableWritten || lastTableAudio != audio || (audio && lastTableChannels != channels))
            return nullptr;
        return previousLengths;
    }

    void CommitTable(const TablePlan& plan, const uint8_t* lengths, int count, bool audio, int channels)
    {
        if (!plan.keep)
            std::memset(previousLengths, 0, sizeof previousLengths);
        std::memcpy(previousLengths, lengths, size_t(count));
        tableWritten = true;
        lastTableAudio = audio;
        lastTableChannels = channels;
    }

    // Writes the open block: its table, its symbols, and unless it is the last one the
    // symbol that announces the next table, coded with this block's own code.
    void FlushBlock(bool last)
    {
        if (pendingMode == ModeLz)
            FlushLzBlock(last);
        else if (pendingMode == ModeAudio)
            FlushAudioBlock(last);
        pendingMode = ModeNone;
    }

    void FlushLzBlock(bool last)
    {
        LzHistogram histogram = blockLzHistogram;
        if (!last)
            ++histogram.main[NewTableSymbol];
        uint8_t lengths[LzTableSize];
        BuildLzLengths(histogram, lengths);
        TablePlan* plan = new (std::nothrow) TablePlan;
        if (!plan) {
            writer.failed = true;
            return;
        }
        PlanTable(lengths, LzTableSize, KeepBase(false, 0), false, *plan);
        WriteTable(writer, *plan, false, 0);
        CommitTable(*plan, lengths, LzTableSize, false, 0);
        delete plan;

        PrefixCode mainCode;
        PrefixCode distanceCode;
        PrefixCode lengthCode;
        mainCode.Assign(lengths, MainSymbols);
        distanceCode.Assign(lengths + MainSymbols, DistanceSymbols);
        lengthCode.Assign(lengths + MainSymbols + DistanceSymbols, LengthSymbols);
        for (uint32_t i = 0; i < blockSymbolCount; ++i) {
            const LzSymbol& symbol = blockSymbols[i];
            mainCode.Put(writer, symbol.main);
            if (symbol.main >= LongMatchSymbol) {
                writer.Write(symbol.lengthExtra, symbol.lengthExtraBits);
                distanceCode.Put(writer, symbol.second);
                writer.Write(symbol.distanceExtra, symbol.distanceExtraBits);
            } else if (symbol.main >= ShortMatchSymbol) {
                writer.Write(symbol.distanceExtra, symbol.distanceExtraBits);
            } else if (symbol.main > RepeatLastSymbol) {
                lengthCode.Put(writer, symbol.second);
                writer.Write(symbol.lengthExtra, symbol.lengthExtraBits);
            }
        }
        if (!last)
            mainCode.Put(writer, NewTableSymbol);
        lastLzHistogram = blockLzHistogram;
        blockLzHistogram.Clear();
        blockSymbolCount = 0;
        blockLzBits = 0;
        ++stats.lzBlocks;
    }

    void FlushAudioBlock(bool last)
    {
        int channels = pendingChannels;
        AudioHistogram histogram = blockAudioHistogram;
        int endChannel = int((pendingStartChannel + blockResidualCount) % uint32_t(channels));
        if (!last)
            ++histogram.counts[endChannel][AudioNewTableSymbol];
        uint8_t lengths[MaxTableSize];
        for (int c = 0; c < channels; ++c)
            BuildCodeLengths(histogram.counts[c], AudioSymbols, lengths + c * AudioSymbols);
        int total = AudioSymbols * channels;
        TablePlan* plan = new (std::nothrow) TablePlan;
        PrefixCode* codes = new (std::nothrow) PrefixCode[MaxChannels];
        if (!plan || !codes) {
            delete plan;
            delete[] codes;
            writer.failed = true;
            return;
        }
        PlanTable(lengths, total, KeepBase(true, channels), true, *plan);
        WriteTable(writer, *plan, true, channels);
        CommitTable(*plan, lengths, total, true, channels);
        delete plan;

        for (int c = 0; c < channels; ++c)
            codes[c].Assign(lengths + c * AudioSymbols, AudioSymbols);
        int lane = pendingStartChannel;
        for (uint32_t i = 0; i < blockResidualCount; ++i) {
            codes[lane].Put(writer, blockResiduals[i]);
            if (++lane >= channels)
                lane = 0;
        }
        if (!last)
            codes[lane].Put(writer, AudioNewTableSymbol);
        delete[] codes;
        std::memset(&blockAudioHistogram, 0, sizeof blockAudioHistogram);
        blockResidualCount = 0;
        blockAudioBits = 0;
        ++stats.audioBlocks;
    }

    const uint8_t* data = nullptr;
    uint32_t size = 0;
    MatchFinder finder;

    ParseNode* nodes = nullptr;
    uint32_t* path = nullptr;
    uint8_t* matchCounts = nullptr;
    Match* matches = nullptr;
    uint16_t* shortDistances = nullptr;
    LzSymbol* unitSymbols = nullptr;
    LzSymbol* candidateSymbols = nullptr;
    uint8_t* residuals = nullptr;

    LzState lzState;
    AudioState audioState;
    LzHistogram lastLzHistogram;

    BlockMode pendingMode = ModeNone;
    LzSymbol* blockSymbols = nullptr;
    uint32_t blockSymbolCount = 0;
    LzHistogram blockLzHistogram = {};
    uint64_t blockLzBits = 0;
    int pendingChannels = 0;
    int pendingStartChannel = 0;
    uint8_t* blockResiduals = nullptr;
    uint32_t blockResidualCount = 0;
    AudioHistogram blockAudioHistogram = {};
    uint64_t blockAudioBits = 0;

    bool tableWritten = false;
    bool lastTableAudio = false;
    int lastTableChannels = 0;
    uint8_t previousLengths[MaxTableSize];
};

} // namespace

int CompressRar20(const uint8_t* data, uint32_t size, uint8_t** outBuffer, uint32_t* outSize, Rar20EncoderStats* stats)
{
    if (outBuffer)
        *outBuffer = nullptr;
    if (outSize)
        *outSize = 0;
    if (stats)
        std::memset(stats, 0, sizeof *stats);
    if (!outBuffer || !outSize || (!data && size))
        return 3;
    if (size == 0)
        return 0;
    Encoder* encoder = new (std::nothrow) Encoder;
    if (!encoder)
        return 2;
    int status = encoder->Allocate() ? encoder->Run(data, size) : 2;
    if (status == 0) {
        *outSize = encoder->writer.size;
        *outBuffer = encoder->writer.Release();
        if (stats)
            *stats = encoder->stats;
    }
    delete encoder;
    return status;
}

} // namespace Vorn
