// The archive codec "RAR2FileCodec" (extensions "rar2", "RAR2", "Rar2"): turns a RAR 2.0
// archive into a directory tree named like the archive file, whose files are MemoryFiles
// holding the entries already extracted. Every such file keeps the codec alive.
#pragma once

#include "engine/resources/Codec.h"

namespace Vorn {

class Rar2FileCodec : public FileCodec {
public:
    Rar2FileCodec();

    // The module's "CreateCodec" entry point.
    static int Create(Codec** codec);

    // Logs nothing itself. Status 0 with the new tree; 1 when the archive cannot be
    // opened or closed; 2 out of memory; 3 for a null argument. Data that is not an
    // archive gives an empty directory, and an entry that fails to extract (damaged,
    // unsupported, wrong password) a file with no data, which refuses to open.
    int Load(VirtualFile* archive, VirtualDirectory** directory, const String& password) override;
};

} // namespace Vorn
