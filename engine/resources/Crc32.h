// CRC-32 with the reflected polynomial 0xEDB88320 (the zip/PNG/RAR checksum). Archive
// entries carry it for their unpacked data, block headers keep its low 16 bits, and the
// RAR 2.0 cipher mixes the same 256-entry table into its key schedule.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Vorn {

// The 256-entry table: entry n is n run through eight shift-and-xor steps.
const uint32_t* GetCrc32Table();

// Continues a finished CRC-32 value over more bytes; start a new checksum from 0.
uint32_t UpdateCrc32(uint32_t crc, const uint8_t* data, size_t size);

inline uint32_t ComputeCrc32(const uint8_t* data, size_t size) { return UpdateCrc32(0, data, size); }

} // namespace Vorn
