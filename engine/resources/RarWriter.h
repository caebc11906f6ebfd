// Builds a RAR 2.0 archive in memory: marker, a plain main header, then one file header per
// entry, in the order given (directories must come before their contents), with our RAR 2.0
// compressor or stored data, whichever is smaller. No solid mode and no end block, like the
// archives the program ships with.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Vorn {

struct RarWriterEntry {
    const char* name;     // '/' or '\' between components; written with '\'
    const uint8_t* data;  // ignored for directories
    uint32_t size;
    bool isDirectory;
    uint32_t fileTime;    // MS-DOS date and time
    uint32_t attributes;  // DOS attributes; 0 means 0x20 for files, 0x10 for directories
};

// Returns 0 with a new[] buffer, 1 for an entry the format cannot hold (empty name, name
// over 259 bytes), 2 when memory runs out, 3 for a null argument.
int WriteRarArchive(const RarWriterEntry* entries, int count, uint8_t** outBuffer, size_t* outSize);

} // namespace Vorn
