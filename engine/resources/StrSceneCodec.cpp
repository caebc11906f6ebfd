#include "engine/resources/StrSceneCodec.h"

#include <new>

#include "engine/core/Object.h"
#include "engine/core/Stream.h"
#include "engine/resources/VirtualFile.h"

namespace Vorn {

StrSceneCodec::StrSceneCodec() : SceneCodec(String("STRSceneCodec"))
{
    AddExtension(String("STR"));
    AddExtension(String("str"));
    AddExtension(String("Str"));
}

int StrSceneCodec::Create(Codec** codec)
{
    if (!codec)
        return 3;
    *codec = new (std::nothrow) StrSceneCodec();
    return *codec ? 0 : 2;
}

int StrSceneCodec::Load(VirtualFile* file, Pointer<Object>& root)
{
    root = nullptr;
    if (!file)
        return 3;
    if (file->Open(VirtualFile::ReadMode) != 0)
        return 1;
    // The caller's Pointer holds the root, so the reset of the stream when it closes
    // frees only what a failed load left behind.
    int status = ReadScene(*file, root) == 0 ? 0 : 1;
    if (file->Close() != 0)
        status = 1;
    if (status != 0)
        root = nullptr;
    return status;
}

int StrSceneCodec::Save(VirtualFile* file, Object* root)
{
    if (!file)
        return 3;
    if (file->Open(VirtualFile::WriteMode) != 0)
        return 1;
    if (WriteScene(*file, root) != 0) {
        // Half a scene would load as a damaged file; an empty one is refused plainly.
        file->SetPosition(0);
        file->Close();
        return 1;
    }
    return file->Close() == 0 ? 0 : 1;
}

} // namespace Vorn
