// The scene codec "STRSceneCodec" (extensions "STR", "str", "Str"): scene files are the
// object-graph stream, the engine version first and then the root object. Files older
// than the engine are refused by the stream's scene reader.
#pragma once

#include "engine/resources/Codec.h"

namespace Vorn {

class StrSceneCodec : public SceneCodec {
public:
    StrSceneCodec();

    // The module's "CreateCodec" entry point.
    static int Create(Codec** codec);

    // Status 0; 1 when the file cannot be opened, read or written; 3 for a null file.
    int Load(VirtualFile* file, Pointer<Object>& root) override;
    int Save(VirtualFile* file, Object* root) override;
};

} // namespace Vorn
