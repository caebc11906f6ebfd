#include "engine/resources/VirtualDirectory.h"

#include <cstring>
#include <new>

#include "engine/core/Log.h"
#include "engine/resources/VirtualFile.h"

namespace Vorn {

String JoinText(const String& head, const String& tail, const char* suffix)
{
    const size_t suffixLength = std::strlen(suffix);
    const int64_t total = static_cast<int64_t>(head.GetLength()) + tail.GetLength() + static_cast<int64_t>(suffixLength);
    if (total > INT32_MAX)
        return String();
    char* text = new (std::nothrow) char[static_cast<size_t>(total) + 1];
    if (!text)
        return String();
    std::memcpy(text, head.GetBuffer(), static_cast<size_t>(head.GetLength()));
    std::memcpy(text + head.GetLength(), tail.GetBuffer(), static_cast<size_t>(tail.GetLength()));
    std::memcpy(text + head.GetLength() + tail.GetLength(), suffix, suffixLength);
    String joined(text, static_cast<int32_t>(total));
    delete[] text;
    return joined;
}

namespace {

// Only first bytes are compared, as signed bytes; when either name is empty, the shorter
// name comes later. Equal keys keep the order of attaching.
bool GoesBefore(const String& newName, const String& existingName)
{
    if (!newName.IsEmpty() && !existingName.IsEmpty())
        return static_cast<signed char>(existingName[0]) < static_cast<signed char>(newName[0]);
    return existingName.GetLength() < newName.GetLength();
}

// Index the entry went to, or -1 when the list could not grow.
template <class Entry>
int32_t InsertOrdered(Array<Entry*>& list, Entry* entry)
{
    int32_t at = 0;
    while (at < list.GetCount() && !GoesBefore(entry->GetName(), list[at]->GetName()))
        ++at;
    if (list.Append(entry) != 0)
        return -1;
    for (int32_t i = list.GetCount() - 1; i > at; --i)
        list[i] = list[i - 1];
    list[at] = entry;
    return at;
}

bool SameText(const char* bytes, int32_t length, const String& text)
{
    return length == text.GetLength() && std::memcmp(bytes, text.GetBuffer(), static_cast<size_t>(length)) == 0;
}

bool SameText(const char* bytes, int32_t length, const char* text)
{
    return static_cast<size_t>(length) == std::strlen(text) && std::memcmp(bytes, text, static_cast<size_t>(length)) == 0;
}

// '\' wins over '/' wherever each stands; -1 when the text has neither.
int32_t FindSeparator(const char* bytes, int32_t length, bool last)
{
    for (const char separator : { '\\', '/' }) {
        const void* found = nullptr;
        if (last) {
            for (int32_t i = length - 1; i >= 0 && !found; --i)
                if (bytes[i] == separator)
                    found = bytes + i;
        } else {
            found = std::memchr(bytes, separator, static_cast<size_t>(length));
        }
        if (found)
            return static_cast<int32_t>(static_cast<const char*>(found) - bytes);
    }
    return -1;
}

} // namespace

VirtualDirectory::VirtualDirectory(const String& directoryName, VirtualDirectory* parentDirectory)
    : Named(directoryName), parentPath(), parent(nullptr), directories(1, 1), files(1, 1)
{
    if (parentDirectory && parentDirectory->AttachDirectory(this) != 0)
        LogWarning("Невозможно подсоединить директорию [%s] к корневой директории [%s].", name.GetBuffer(),
                   parentDirectory->GetName().GetBuffer());
}

VirtualDirectory::~VirtualDirectory()
{
    LogInfo("Удаляется директория [%s].", name.GetBuffer());
    if (parent && parent->DetachDirectory(this) != 0) {
        LogWarning("Невозможно отсоединить директорию [%s] от корневой директории [%s].", name.GetBuffer(),
                   parent->GetName().GetBuffer());
        parent = nullptr;
    }
    // Children whose parent is cleared do not detach themselves, so the lists stay
    // still while they are walked.
    for (int32_t i = 0; i < directories.GetCount(); ++i) {
        directories[i]->parent = nullptr;
        delete directories[i];
    }
    directories.Clear();
    for (int32_t i = 0; i < files.GetCount(); ++i) {
        files[i]->parent = nullptr;
        delete files[i];
    }
    files.Clear();
    LogInfo("Директория удалена [%s].", name.GetBuffer());
}

bool VirtualDirectory::LiesWithin(const VirtualDirectory* directory) const
{
    for (const VirtualDirectory* step = this; step; step = step->parent)
        if (step == directory)
            return true;
    return false;
}

int VirtualDirectory::AttachDirectory(VirtualDirectory* directory)
{
    if (!directory) {
        LogWarning("Указатель на присоединяемую директорию равен 0. Корневая директория [%s].", name.GetBuffer());
        return 3;
    }
    if (directories.Find(directory) >= 0) {
        LogWarning("Присоединяемая директория [%s] уже присоединена к директории [%s].", directory->name.GetBuffer(),
                   name.GetBuffer());
        return 3;
    }
    // A directory inside itself would make every walk of the tree endless.
    if (LiesWithin(directory)) {
        LogWarning("Невозможно присоединить директорию [%s] к её поддиректории [%s].", directory->name.GetBuffer(),
                   name.GetBuffer());
        return 3;
    }
    if (directory->parent)
        directory->parent->DetachDirectory(directory);
    const int32_t at = InsertOrdered(directories, directory);
    if (at < 0) {
        LogWarning("Недостаточно памяти для присоединения директории [%s] к директории [%s].",
                   directory->name.GetBuffer(), name.GetBuffer());
        return 3;
    }
    directory->parent = this;
    if (at == directories.GetCount() - 1)
        LogInfo("Директория [%s] добавлена к директории [%s].", directory->name.GetBuffer(), name.GetBuffer());
    return 0;
}

int VirtualDirectory::DetachDirectory(VirtualDirectory* directory)
{
    if (!directory) {
        LogWarning("Указатель на отсоединяемую директорию равен 0. Корневая директория [%s].", name.GetBuffer());
        return 3;
    }
    const int32_t index = directories.Find(directory);
    if (index < 0) {
        LogWarning("Удаляемая директория [%s] не найдена в директории [%s].", directory->name.GetBuffer(),
                   name.GetBuffer());
        return 3;
    }
    directory->parent = nullptr;
    LogInfo("Директория [%s] удалена из директории [%s].", directory->name.GetBuffer(), name.GetBuffer());
    directories.RemoveAt(index);
    return 0;
}

int VirtualDirectory::AttachFile(VirtualFile* file)
{
    if (!file) {
        LogWarning("Указатель на присоединяемый файл равен 0. Корневая директория [%s].", name.GetBuffer());
        return 3;
    }
    if (files.Find(file) >= 0) {
        LogWarning("Присоединяемый файл [%s] уже присоединена к директории [%s].", file->GetName().GetBuffer(),
                   name.GetBuffer());
        return 3;
    }
    if (file->parent)
        file->parent->DetachFile(file);
    const int32_t at = InsertOrdered(files, file);
    if (at < 0) {
        LogWarning("Недостаточно памяти для присоединения файла [%s] к директории [%s].", file->GetName().GetBuffer(),
                   name.GetBuffer());
        return 3;
    }
    file->parent = this;
    if (at == files.GetCount() - 1)
        LogInfo("Файл [%s] добавлен к директории [%s].", file->GetName().GetBuffer(), name.GetBuffer());
    return 0;
}

int VirtualDirectory::DetachFile(VirtualFile* file)
{
    if (!file) {
        LogWarning("Указатель на отсоединяемый файл равен 0. Корневая директория [%s].", name.GetBuffer());
        return 3;
    }
    const int32_t index = files.Find(file);
    if (index < 0) {
        LogWarning("Удаляемый файл [%s] не найден в директории [%s].", file->GetName().GetBuffer(), name.GetBuffer());
        return 3;
    }
    file->parent = nullptr;
    LogInfo("Файл [%s] удалён из директории [%s].", file->GetName().GetBuffer(), name.GetBuffer());
    files.RemoveAt(index);
    return 0;
}

VirtualDirectory* VirtualDirectory::FindSubdirectory(const char* componentName, int32_t length) const
{
    for (int32_t i = 0; i < directories.GetCount(); ++i)
        if (SameText(componentName, length, directories[i]->name))
            return directories[i];
    return nullptr;
}

// One component per step, walked in place rather than by recursion, so that a path of
// many separators costs no stack.
VirtualDirectory* VirtualDirectory::FindDirectory(const String& path)
{
    VirtualDirectory* current = this;
    const char* rest = path.GetBuffer();
    int32_t restLength = path.GetLength();
    for (;;) {
        if (restLength == 0 || SameText(rest, restLength, ".") || SameText(rest, restLength, current->name))
            return current;
        const int32_t split = FindSeparator(rest, restLength, false);
        const int32_t componentLength = split < 0 ? restLength : split;
        if (componentLength == 0 || SameText(rest, componentLength, ".")) {
            // this directory again
        } else if (SameText(rest, componentLength, "..")) {
            current = current->parent;
        } else {
            current = current->FindSubdirectory(rest, componentLength);
        }
        if (!current)
            return nullptr;
        if (split < 0)
            return current;
        rest += split + 1;
        restLength -= split + 1;
    }
}

VirtualFile* VirtualDirectory::FindFile(const String& path)
{
    const int32_t split = FindSeparator(path.GetBuffer(), path.GetLength(), true);
    if (split < 0)
        return FindFileByName(path);
    VirtualDirectory* directory = FindDirectory(String(path.GetBuffer(), split));
    if (!directory)
        return nullptr;
    return directory->FindFile(String(path.GetBuffer() + split + 1, path.GetLength() - split - 1));
}

VirtualFile* VirtualDirectory::FindFileByName(const String& fileName) const
{
    for (int32_t i = 0; i < files.GetCount(); ++i)
        if (files[i]->GetName() == fileName)
            return files[i];
    for (int32_t i = 0; i < directories.GetCount(); ++i)
        if (VirtualFile* found = directories[i]->FindFileByName(fileName))
            return found;
    return nullptr;
}

String VirtualDirectory::GetFullPath() const
{
    if (name.IsEmpty())
        return String();
    if (parentPath.IsEmpty() && parent)
        parentPath = parent->GetFullPath();
    return JoinText(parentPath, name, "/");
}

} // namespace Vorn
