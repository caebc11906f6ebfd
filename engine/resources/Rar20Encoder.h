// Our RAR 2.0 compressor: one non-solid file into a complete stream for a 256 KB dictionary.
// Hash-chain match finding with a price-driven optimal parse for LZ blocks, multimedia
// (delta-predicted) blocks where they code smaller, and a fresh Huffman table whenever a
// new block pays for its table. Every code it writes is complete, and the stream ends with
// one pad byte so that decoders that read ahead find data.
#pragma once

#include <cstdint>

namespace Vorn {

// Dictionary size the header must declare for streams of this encoder.
constexpr uint32_t Rar20EncoderDictionary = 256 * 1024;

struct Rar20EncoderStats {
    uint32_t lzBlocks;
    uint32_t audioBlocks;
    uint32_t audioBytes; // bytes coded in multimedia mode
};

// Compresses size bytes. Returns 0 with a new[] buffer in *outBuffer (null for empty input)
// and its size, 2 when memory runs out, 3 for a null argument.
int CompressRar20(const uint8_t* data, uint32_t size, uint8_t** outBuffer, uint32_t* outSize,
                  Rar20EncoderStats* stats = nullptr);

} // namespace Vorn
