#include "engine/resources/Rar20Decoder.h"

#include <cstring>
#include <new>

namespace Vorn {

using namespace Rar20;

namespace {

// The window holds at least twice what the solid group can reference (its whole output,
// at most the largest distance): the bytes just ahead of the write position are then
// always dead history, so match copies may run a few bytes long in 8-byte steps.
constexpr uint32_t MinWindowSize = 64 * 1024;
constexpr uint32_t MaxWindowSize = 2 * MaxDistance;

// Output is moved out of the window in chunks of this many bytes; a chunk may overrun by
// one match, and must stay well inside the history the window keeps.
constexpr uint32_t ChunkSize = 256 * 1024;
constexpr uint32_t MaxMatchLength = 260;

// Real streams may end their last code in the last byte while the reader peeks ahead;
// consuming more than this many bytes past the data means the data is damaged.
constexpr uint32_t SlackBytes = 4;

// The unrar family looks for a table block after a file's last symbol only when at
// least this many packed bytes are left.
constexpr size_t TrailingTableMinBytes = 5;

inline uint64_t LoadBig64(const uint8_t* bytes)
{
    uint64_t value;
    std::memcpy(&value, bytes, 8);
    return __builtin_bswap64(value);
}

// Decodes the next symbol, -1 for a code that was never assigned.
inline int DecodeSymbol(const Rar20Decoder::HuffmanCode& code, Rar20Decoder::BitReader& reader)
{
    uint32_t peek = reader.Peek16();
    uint32_t entry = code.fast[peek >> (16 - Rar20Decoder::HuffmanCode::FastBits)];
    if (entry) {
        reader.Skip(entry & 15);
        return int(entry >> 4);
    }
    for (int length = Rar20Decoder::HuffmanCode::FastBits + 1; length <= MaxCodeLength; ++length)
        if (peek < code.limit[length]) {
            reader.Skip(length);
            return code.symbols[code.indexBase[length] + int(peek >> (16 - length))];
        }
    return -1;
}

// The unpacked bytes of one file: grown as the window hands them over, never beyond the
// size the header declares, so a small damaged entry cannot claim a huge buffer.
struct OutputBuffer {
    uint8_t* data = nullptr;
    uint32_t size = 0;
    uint32_t capacity = 0;
    uint32_t limit = 0;

    ~OutputBuffer() { delete[] data; }

    bool Reserve(uint32_t needed)
    {
        if (needed <= capacity)
            return true;
        uint64_t grown = capacity ? uint64_t(capacity) * 2 : 0;
        if (grown < needed)
            grown = needed;
        if (grown > limit)
            grown = limit;
        uint8_t* bigger = new (std::nothrow) uint8_t[size_t(grown)];
        if (!bigger)
            return false;
        if (size)
            std::memcpy(bigger, data, size);
        delete[] data;
        data = bigger;
        capacity = uint32_t(grown);
        return true;
    }

    bool Append(const uint8_t* bytes, uint32_t count)
    {
        if (!Reserve(size + count))
            return false;
        std::memcpy(data + size, bytes, count);
        size += count;
        return true;
    }
};

} // namespace

bool Rar20Decoder::HuffmanCode::IsDecodable(const uint8_t* lengths, int count)
{
    int lengthCount[MaxCodeLength + 1] = {};
    for (int i = 0; i < count; ++i)
        ++lengthCount[lengths[i] & 15];
    int left = 1;
    for (int length = 1; length <= MaxCodeLength; ++length) {
        left = left * 2 - lengthCount[length];
        if (left < 0)
            return false;
    }
    return true;
}

void Rar20Decoder::HuffmanCode::Build(const uint8_t* lengths, int count)
{
    int lengthCount[MaxCodeLength + 1] = {};
    for (int i = 0; i < count; ++i)
        ++lengthCount[lengths[i]];
    lengthCount[0] = 0;

    int nextIndex[MaxCodeLength + 1];
    uint32_t nextCode[MaxCodeLength + 1];
    uint32_t code = 0;
    int index = 0;
    for (int length = 1; length <= MaxCodeLength; ++length) {
        nextCode[length] = code;
        nextIndex[length] = index;
        indexBase[length] = index - int(code);
        code += lengthCount[length];
        index += lengthCount[length];
        limit[length] = code << (16 - length);
        code <<= 1;
    }

    std::memset(fast, 0, sizeof fast);
    for (int symbol = 0; symbol < count; ++symbol) {
        int length = lengths[symbol];
        if (!length)
            continue;
        symbols[nextIndex[length]++] = uint16_t(symbol);
        uint32_t symbolCode = nextCode[length]++;
        if (length <= FastBits) {
            uint32_t first = symbolCode << (FastBits - length);
            uint32_t span = 1u << (FastBits - length);
            uint16_t entry = uint16_t(symbol << 4 | length);
            for (uint32_t i = 0; i < span; ++i)
                fast[first + i] = entry;
        }
    }
}

void Rar20Decoder::BitReader::Start(const uint8_t* data, size_t size)
{
    start = data;
    next = data;
    end = data + size;
    bits = 0;
    count = 0;
    phantom = 0;
    Refill();
}

inline void Rar20Decoder::BitReader::Refill()
{
    if (end - next >= 8) {
        // Whole bytes only; the partial byte shifted in below `count` is loaded again
        // next time, and OR-ing identical bits changes nothing.
        bits |= LoadBig64(next) >> count;
        next += (63 - count) >> 3;
        count |= 56;
    } else {
        RefillSlowly();
    }
}

void Rar20Decoder::BitReader::RefillSlowly()
{
    while (count <= 56) {
        uint64_t byte = 0;
        if (next < end)
            byte = *next++;
        else
            ++phantom;
        bits |= byte << (56 - count);
        count += 8;
    }
}

bool Rar20Decoder::BitReader::IsPastEnd() const
{
    return phantom * 8 > count + SlackBytes * 8;
}

size_t Rar20Decoder::BitReader::GetUnreadBytes() const
{
    uint64_t consumedBits = uint64_t(next - start + phantom) * 8 - count;
    uint64_t consumed = consumedBits / 8;
    size_t size = size_t(end - start);
    return consumed >= size ? 0 : size - size_t(consumed);
}

Rar20Decoder::Rar20Decoder() : window(nullptr), windowSize(0), windowMask(0)
{
    Reset();
    std::memset(&reader, 0, sizeof reader);
}

Rar20Decoder::~Rar20Decoder()
{
    delete[] window;
}

// Keeps the history in place modulo the new size, so positions stay what they were.
bool Rar20Decoder::GrowWindow(uint64_t groupSize)
{
    uint64_t needed = groupSize < MaxDistance ? groupSize : MaxDistance;
    uint32_t size = MinWindowSize;
    while (size < MaxWindowSize && size < 2 * needed)
        size *= 2;
    if (window && size <= windowSize)
        return true;
    uint8_t* grown = new (std::nothrow) uint8_t[size];
    if (!grown)
        return false;
    if (window) {
        uint64_t kept = historySize < windowSize ? historySize : windowSize;
        for (uint64_t at = historySize - kept; at < historySize; ++at)
            grown[at & (size - 1)] = window[at & windowMask];
        delete[] window;
    }
    window = grown;
    windowSize = size;
    windowMask = size - 1;
    windowPos = uint32_t(historySize & windowMask);
    return true;
}

void Rar20Decoder::Reset()
{
    windowPos = 0;
    historySize = 0;
    broken = false;
    std::memset(oldDistances, 0, sizeof oldDistances);
    oldDistanceIndex = 0;
    lastDistance = 0;
    lastLength = 0;
    tablesRead = false;
    audioMode = false;
    numChannels = 1;
    currentChannel = 0;
    channelDelta = 0;
    std::memset(predictors, 0, sizeof predictors);
    std::memset(previousLengths, 0, sizeof previousLengths);
}

// Reads a whole table block before touching any state, so a damaged block leaves the
// decoder as it was.
int Rar20Decoder::ReadTables()
{
    reader.Refill();
    bool audio = reader.Read(1) != 0;
    bool keep = reader.Read(1) != 0;
    int channels = numChannels;
    if (audio)
        channels = int(reader.Read(2)) + 1;

    uint8_t levelLengths[LevelSymbols];
    for (int i = 0; i < LevelSymbols; ++i) {
        reader.Refill();
        levelLengths[i] = uint8_t(reader.Read(4));
    }
    if (!HuffmanCode::IsDecodable(levelLengths, LevelSymbols))
        return 1;
    levelCode.Build(levelLengths, LevelSymbols);

    static const uint8_t noLengths[MaxTableSize] = {};
    const uint8_t* base = keep ? previousLengths : noLengths;
    int total = audio ? AudioSymbols * channels : LzTableSize;
    uint8_t lengths[MaxTableSize];
    for (int i = 0; i < total;) {
        reader.Refill();
        if (reader.IsPastEnd())
            return 1;
        int symbol = DecodeSymbol(levelCode, reader);
        if (symbol < 0)
            return 1;
        if (symbol < 16) {
            lengths[i] = uint8_t((base[i] + symbol) & 15);
            ++i;
            continue;
        }
        int run;
        uint8_t value = 0;
        if (symbol == 16) {
            if (i == 0)
                return 1;
            run = 3 + int(reader.Read(2));
            value = lengths[i - 1];
        } else if (symbol == 17) {
            run = 3 + int(reader.Read(3));
        } else {
            run = 11 + int(reader.Read(7));
        }
        for (; run > 0 && i < total; --run)
            lengths[i++] = value;
    }
    if (reader.IsPastEnd())
        return 1;

    if (audio) {
        for (int c = 0; c < channels; ++c)
            if (!HuffmanCode::IsDecodable(lengths + c * AudioSymbols, AudioSymbols))
                return 1;
    } else if (!HuffmanCode::IsDecodable(lengths, MainSymbols) ||
               !HuffmanCode::IsDecodable(lengths + MainSymbols, DistanceSymbols) ||
               !HuffmanCode::IsDecodable(lengths + MainSymbols + DistanceSymbols, LengthSymbols)) {
        return 1;
    }

    if (!keep)
        std::memset(previousLengths, 0, sizeof previousLengths);
    std::memcpy(previousLengths, lengths, size_t(total));
    if (audio) {
        numChannels = channels;
        if (currentChannel >= channels)
            currentChannel = 0;
        for (int c = 0; c < channels; ++c)
            audioCodes[c].Build(lengths + c * AudioSymbols, AudioSymbols);
    } else {
        mainCode.Build(lengths, MainSymbols);
        distanceCode.Build(lengths + MainSymbols, DistanceSymbols);
        lengthCode.Build(lengths + MainSymbols + DistanceSymbols, LengthSymbols);
    }
    audioMode = audio;
    tablesRead = true;
    return 0;
}

void Rar20Decoder::ReadTrailingTables()
{
    if (reader.GetUnreadBytes() < TrailingTableMinBytes)
        return;
    reader.Refill();
    if (audioMode) {
        if (DecodeSymbol(audioCodes[currentChannel], reader) == AudioNewTableSymbol)
            ReadTables();
    } else if (DecodeSymbol(mainCode, reader) == NewTableSymbol) {
        ReadTables();
    }
}

// Decodes LZ symbols until `target` bytes are produced or a table block switches to audio
// mode. No copy may run past `limit`, the end of the file.
int Rar20Decoder::DecodeLz(uint32_t target, uint32_t limit, uint32_t& produced)
{
    uint8_t* const win = window;
    const uint32_t size = windowSize;
    const uint32_t mask = windowMask;
    uint32_t pos = windowPos;
    uint32_t done = produced;
    BitReader bits = reader;
    int status = 0;

    while (done < target) {
        bits.Refill();
        if (bits.phantom && bits.IsPastEnd()) {
            status = 1;
            break;
        }
        int symbol = DecodeSymbol(mainCode, bits);
        if (symbol < 256) {
            if (symbol < 0) {
                status = 1;
                break;
            }
            win[pos] = uint8_t(symbol);
            pos = (pos + 1) & mask;
            ++done;
            continue;
        }

        uint32_t length;
        uint32_t distance;
        if (symbol >= LongMatchSymbol) {
            int slot = symbol - LongMatchSymbol;
            length = lengthBase[slot] + 3 + bits.Read(lengthBits[slot]);
            int distanceSlot = DecodeSymbol(distanceCode, bits);
            if (distanceSlot < 0) {
                status = 1;
                break;
            }
            distance = distanceBase[distanceSlot] + 1 + bits.Read(distanceBits[distanceSlot]);
            if (distance >= NearBonus) {
                ++length;
                if (distance >= FarBonus)
                    ++length;
            }
        } else if (symbol >= ShortMatchSymbol) {
            if (symbol == NewTableSymbol) {
                reader = bits;
                windowPos = pos;
                status = ReadTables();
                bits = reader;
                if (status || audioMode)
                    break;
                continue;
            }
            int slot = symbol - ShortMatchSymbol;
            distance = shortBase[slot] + 1 + bits.Read(shortBits[slot]);
            length = 2;
        } else if (symbol > RepeatLastSymbol) {
            distance = oldDistances[(oldDistanceIndex - uint32_t(symbol - RepeatLastSymbol)) & 3];
            int slot = DecodeSymbol(lengthCode, bits);
            if (slot < 0) {
                status = 1;
                break;
            }
            length = lengthBase[slot] + 2 + bits.Read(lengthBits[slot]);
            if (distance >= OldDistanceBonus) {
                ++length;
                if (distance >= NearBonus) {
                    ++length;
                    if (distance >= FarBonus)
                        ++length;
                }
            }
        } else {
            distance = lastDistance;
            length = lastLength;
        }

        oldDistances[oldDistanceIndex] = distance;
        oldDistanceIndex = (oldDistanceIndex + 1) & 3;
        lastDistance = distance;
        lastLength = length;
        if (length > limit - done || (length && (distance == 0 || distance > historySize + done))) {
            status = 1;
            break;
        }

        uint32_t from = (pos - distance) & mask;
        if (distance >= 8 && pos + length + 8 <= size && from + length + 8 <= size) {
            uint8_t* to = win + pos;
            const uint8_t* source = win + from;
            uint8_t* stop = to + length;
            do {
                std::memcpy(to, source, 8);
                to += 8;
                source += 8;
            } while (to < stop);
            pos += length;
        } else {
            for (uint32_t i = 0; i < length; ++i) {
                win[pos] = win[from];
                pos = (pos + 1) & mask;
                from = (from + 1) & mask;
            }
        }
        done += length;
    }

    reader = bits;
    windowPos = pos;
    produced = done;
    return status;
}

int Rar20Decoder::DecodeAudio(uint32_t target, uint32_t limit, uint32_t& produced)
{
    (void)limit; // every audio symbol yields one byte, so target never overshoots
    uint8_t* const win = window;
    const uint32_t mask = windowMask;
    uint32_t pos = windowPos;
    uint32_t done = produced;
    BitReader bits = reader;
    int status = 0;

    while (done < target) {
        bits.Refill();
        if (bits.phantom && bits.IsPastEnd()) {
            status = 1;
            break;
        }
        int symbol = DecodeSymbol(audioCodes[currentChannel], bits);
        if (symbol < 0) {
            status = 1;
            break;
        }
        if (symbol == AudioNewTableSymbol) {
            reader = bits;
            windowPos = pos;
            status = ReadTables();
            bits = reader;
            if (status || !audioMode)
                break;
            continue;
        }
        AudioPredictor& lane = predictors[currentChannel];
        int predicted = lane.Predict(channelDelta);
        int actual = (predicted - symbol) & 0xFF;
        lane.Update(symbol, actual, channelDelta);
        if (++currentChannel >= numChannels)
            currentChannel = 0;
        win[pos] = uint8_t(actual);
        pos = (pos + 1) & mask;
        ++done;
    }

    reader = bits;
    windowPos = pos;
    produced = done;
    return status;
}

int Rar20Decoder::DecodeFile(const uint8_t* packed, size_t packedSize, uint32_t unpackedSize, bool continueSolid,
                             bool readTrailingTables, uint8_t** outBuffer)
{
    if (outBuffer)
        *outBuffer = nullptr;
    if (!continueSolid)
        Reset();
    if (broken)
        return 1;
    if (!GrowWindow(historySize + unpackedSize))
        return 2;

    OutputBuffer output;
    output.limit = unpackedSize;
    if (outBuffer) {
        // A guess that fits most files at once; the buffer still grows only as bytes come.
        uint64_t guess = uint64_t(packedSize) * 8 + 64 * 1024;
        if (!output.Reserve(uint32_t(guess < unpackedSize ? guess : unpackedSize ? unpackedSize : 1)))
            return 2;
    }

    if (unpackedSize > 0) {
        broken = true;
        if (!packed)
            return 1;
        reader.Start(packed, packedSize);
        if (!tablesRead && ReadTables() != 0)
            return 1;
        uint32_t remaining = unpackedSize;
        while (remaining > 0) {
            uint32_t chunkStart = windowPos;
            uint32_t target = remaining < ChunkSize ? remaining : ChunkSize;
            uint32_t produced = 0;
            while (produced < target) {
                int status = audioMode ? DecodeAudio(target, remaining, produced)
                                       : DecodeLz(target, remaining, produced);
                if (status)
                    return status;
            }
            static_assert(ChunkSize + MaxMatchLength < MaxDistance, "a chunk must not overwrite unflushed bytes");
            if (outBuffer) {
                uint32_t first = windowSize - chunkStart;
                if (first > produced)
                    first = produced;
                if (!output.Append(window + chunkStart, first) ||
                    !output.Append(window, produced - first))
                    return 2;
            }
            historySize += produced;
            remaining -= produced;
        }
        broken = false;
        if (readTrailingTables)
            ReadTrailingTables();
    }

    if (outBuffer) {
        *outBuffer = output.data;
        output.data = nullptr;
    }
    return 0;
}

} // namespace Vorn
