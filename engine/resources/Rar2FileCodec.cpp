#include "engine/resources/Rar2FileCodec.h"

#include <cstring>
#include <new>

#include "engine/resources/RarArchive.h"
#include "engine/resources/VirtualDirectory.h"
#include "engine/resources/VirtualFile.h"

namespace Vorn {

namespace {

constexpr uint8_t UnixHost = 3;

// Archives made on Unix store the file mode where others store DOS attributes, and there
// 0x10 is a permission bit; the header's dictionary bits mark directories on every host.
bool IsDirectoryEntry(const RarEntry& entry)
{
    if (entry.hostSystem == UnixHost)
        return (entry.flags & RarFormat::FileDictionaryMask) == RarFormat::FileDirectory;
    return (entry.attributes & RarFormat::DirectoryAttribute) != 0;
}

bool SameText(const char* bytes, int32_t length, const String& text)
{
    return length == text.GetLength() && std::memcmp(bytes, text.GetBuffer(), static_cast<size_t>(length)) == 0;
}

VirtualDirectory* FindChild(VirtualDirectory& directory, const char* childName, int32_t length)
{
    for (int32_t i = 0; i < directory.GetDirectoryCount(); ++i)
        if (SameText(childName, length, directory.GetDirectory(i)->GetName()))
            return directory.GetDirectory(i);
    return nullptr;
}

// The directory FindDirectory would give for the path, with every missing component
// created on the way, so that an archive that does not list an entry's directories
// before it still places the entry where its path says. ".." above the archive's top
// stays at the top. Null only when memory runs out.
VirtualDirectory* ProvideDirectory(VirtualDirectory& top, const char* path, int32_t length)
{
    VirtualDirectory* current = &top;
    while (length > 0 && !(length == 1 && path[0] == '.') && !SameText(path, length, current->GetName())) {
        const char* separator = static_cast<const char*>(std::memchr(path, '\\', static_cast<size_t>(length)));
        if (!separator)
            separator = static_cast<const char*>(std::memchr(path, '/', static_cast<size_t>(length)));
        const int32_t componentLength = separator ? static_cast<int32_t>(separator - path) : length;
        const bool here = componentLength == 0 || (componentLength == 1 && path[0] == '.');
        const bool up = componentLength == 2 && path[0] == '.' && path[1] == '.';
        if (up) {
            if (current->GetParent())
                current = current->GetParent();
        } else if (here) {
            // the same directory again
        } else if (VirtualDirectory* child = FindChild(*current, path, componentLength)) {
            current = child;
        } else {
            VirtualDirectory* created = new (std::nothrow) VirtualDirectory(String(path, componentLength));
            if (!created)
                return nullptr;
            if (current->AttachDirectory(created) != 0) {
                delete created;
                return nullptr;
            }
            current = created;
        }
        if (!separator)
            break;
        length -= componentLength + 1;
        path += componentLength + 1;
    }
    return current;
}

// Status 0, or 2 when a directory or file cannot be made or attached.
int AddEntry(VirtualDirectory& top, const RarEntry& entry, const uint8_t* archive, size_t archiveSize,
             const String& password, RefCounted* keeper)
{
    // The reader cuts names at a zero byte and at the format's longest name; the bound
    // holds here whatever it returned, and with it the depth of the tree.
    const int32_t limit = entry.nameSize < 0 ? 0
                          : entry.nameSize > RarFormat::MaxNameSize ? RarFormat::MaxNameSize
                                                                    : entry.nameSize;
    const char* const entryName = entry.name ? entry.name : "";
    const int32_t nameLength = static_cast<int32_t>(strnlen(entryName, static_cast<size_t>(limit)));
    int32_t split = nameLength - 1;
    while (split >= 0 && entryName[split] != '\\')
        --split;
    VirtualDirectory* parent = split < 0 ? &top : ProvideDirectory(top, entryName, split);
    if (!parent)
        return 2;
    const String lastComponent(entryName + split + 1, nameLength - split - 1);

    if (IsDirectoryEntry(entry)) {
        VirtualDirectory* directory = new (std::nothrow) VirtualDirectory(lastComponent);
        if (!directory)
            return 2;
        if (parent->AttachDirectory(directory) != 0) {
            delete directory;
            return 2;
        }
        return 0;
    }

    MemoryFile* file = new (std::nothrow) MemoryFile(lastComponent);
    if (!file)
        return 2;
    if (parent->AttachFile(file) != 0) {
        delete file;
        return 2;
    }
    uint8_t* bytes = nullptr;
    uint32_t byteCount = 0;
    if (ExtractEntry(archive, archiveSize, entryName, password.GetBuffer(), &bytes, &byteCount) == 1)
        file->SetSourceData(bytes, byteCount);
    else
        delete[] bytes;
    file->SetKeeper(keeper);
    return 0;
}

} // namespace

Rar2FileCodec::Rar2FileCodec() : FileCodec(String("RAR2FileCodec"))
{
    AddExtension(String("rar2"));
    AddExtension(String("RAR2"));
    AddExtension(String("Rar2"));
}

int Rar2FileCodec::Create(Codec** codec)
{
    if (!codec)
        return 3;
    *codec = new (std::nothrow) Rar2FileCodec();
    return *codec ? 0 : 2;
}

int Rar2FileCodec::Load(VirtualFile* archive, VirtualDirectory** directory, const String& password)
{
    if (!archive || !directory)
        return 3;
    *directory = nullptr;
    if (archive->Open(VirtualFile::ReadMode) != 0)
        return 1;

    // The open file's buffer holds exactly its size in bytes, so the copy never reads
    // past what is there.
    const int32_t size = archive->GetSize();
    const size_t byteCount = size > 0 && archive->GetBuffer() ? static_cast<size_t>(size) : 0;
    uint8_t* copy = new (std::nothrow) uint8_t[byteCount];
    if (!copy) {
        archive->Close();
        return 2;
    }
    if (byteCount > 0)
        std::memcpy(copy, archive->GetBuffer(), byteCount);

    RarEntry* listing = nullptr;
    ListArchive(copy, byteCount, &listing);
    VirtualDirectory* top = new (std::nothrow) VirtualDirectory(archive->GetName());
    int status = top ? 0 : 2;
    for (const RarEntry* entry = listing; entry && status == 0; entry = entry->next)
        status = AddEntry(*top, *entry, copy, byteCount, password, this);
    FreeListing(listing);
    delete[] copy;

    if (archive->Close() != 0 && status == 0)
        status = 1;
    if (status != 0) {
        delete top;
        return status;
    }
    *directory = top;
    return 0;
}

} // namespace Vorn
