#include "engine/resources/Codec.h"

#include "engine/core/Log.h"
#include "engine/resources/VirtualFile.h"

namespace Vorn {

Codec::Codec(const String& codecName) : Named(codecName), module(), extensions(1, 1) {}

int Codec::Accepts(const VirtualFile* file) const
{
    if (!file) {
        LogWarning("Указатель на файл равен 0 при проверке кодеком [%s].", name.GetBuffer());
        return 3;
    }
    const String extension = file->GetExtension();
    for (int32_t i = 0; i < extensions.GetCount(); ++i)
        if (extensions[i] == extension)
            return 0;
    return 1;
}

int Codec::AddExtension(const String& extension)
{
    return extensions.Append(extension) == 0 ? 0 : 2;
}

int FileCodec::Save(VirtualFile* archive, VirtualDirectory* directory)
{
    if (!archive || !directory)
        return 1;
    if (archive->Open(VirtualFile::WriteMode) != 0)
        return 1;
    return archive->Close() == 0 ? 0 : 1;
}

} // namespace Vorn
