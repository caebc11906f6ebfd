#include "engine/resources/VirtualFile.h"

#include <climits>
#include <cstring>
#include <new>

#include "engine/core/Log.h"
#include "engine/resources/VirtualDirectory.h"

namespace Vorn {

VirtualFile::VirtualFile(const String& fileName)
    : Stream(0, 1024), Named(fileName), mode(ReadMode), handle(nullptr), parent(nullptr), retired(false)
{
}

VirtualFile::~VirtualFile()
{
    if (!retired)
        Retire();
}

void VirtualFile::Retire()
{
    retired = true;
    LogInfo("Удаляется файл [%s].", name.GetBuffer());
    if (IsOpen() && Close() != 0)
        DropHandle();
    if (parent && parent->DetachFile(this) != 0) {
        LogWarning("Невозможно отсоединить файл [%s] от родительской директории.", name.GetBuffer());
        parent = nullptr;
    }
}

String VirtualFile::GetPath() const
{
    if (!parent)
        return name;
    return JoinText(parent->GetFullPath(), name);
}

String VirtualFile::GetExtension() const
{
    for (int32_t i = name.GetLength() - 1; i >= 0; --i)
        if (name[i] == '.')
            return String(name.GetBuffer() + i + 1, name.GetLength() - i - 1);
    return String();
}

int VirtualFile::Open(int32_t openMode)
{
    if (handle && Close() != 0) {
        LogWarning("Невозможно закрыть файл [%s].", GetPath().GetBuffer());
        // The bytes that could not be written are lost either way; the old handle must
        // not outlive the new one.
        DropHandle();
    }
    mode = openMode;
    return OpenDisk(openMode);
}

int VirtualFile::OpenDisk(int32_t openMode)
{
    static const char* const openFlags[] = { "rb", "wb", "ab" };
    const String path = GetPath();
    if (openMode >= ReadMode && openMode <= AppendMode)
        handle = std::fopen(path.GetBuffer(), openFlags[openMode]);
    if (!handle) {
        LogWarning("Невозможно открыть файл [%s].", path.GetBuffer());
        return 1;
    }
    FreeBuffer();
    if (openMode == ReadMode) {
        const int status = ReadWholeDisk();
        if (status != 0) {
            std::fclose(handle);
            handle = nullptr;
            return status;
        }
    }
    Reset();
    return 0;
}

int VirtualFile::ReadWholeDisk()
{
    long length = -1;
    if (std::fseek(handle, 0, SEEK_END) == 0)
        length = std::ftell(handle);
    if (length < 0 || length > INT32_MAX || std::fseek(handle, 0, SEEK_SET) != 0) {
        LogWarning("Невозможно открыть файл [%s].", GetPath().GetBuffer());
        return 1;
    }
    const size_t byteCount = static_cast<size_t>(length);
    uint8_t* bytes = new (std::nothrow) uint8_t[byteCount];
    if (!bytes) {
        LogWarning("Недостаточно памяти для открытия файла [%s].", GetPath().GetBuffer());
        return 2;
    }
    if (byteCount > 0 && std::fread(bytes, 1, byteCount, handle) != byteCount) {
        delete[] bytes;
        LogWarning("Невозможно открыть файл [%s].", GetPath().GetBuffer());
        return 1;
    }
    AdoptBuffer(bytes, static_cast<int32_t>(byteCount));
    return 0;
}

int VirtualFile::Close()
{
    if (!handle)
        return 0;
    if (mode == WriteMode || mode == AppendMode) {
        // The position can be set anywhere; only bytes the buffer holds are written.
        const int32_t end = position < capacity ? position : capacity;
        const size_t byteCount = end > 0 ? static_cast<size_t>(end) : 0;
        if (byteCount > 0 && std::fwrite(buffer, 1, byteCount, handle) != byteCount) {
            LogWarning("В файл [%s] записаны не все данные.", GetPath().GetBuffer());
            return 1;
        }
    }
    // Buffered bytes reach the disk only here, so a failing close also means lost data.
    const bool closed = std::fclose(handle) == 0;
    handle = nullptr;
    FreeBuffer();
    Reset();
    if (!closed && mode != ReadMode) {
        LogWarning("В файл [%s] записаны не все данные.", GetPath().GetBuffer());
        return 1;
    }
    return 0;
}

void VirtualFile::DropHandle()
{
    if (handle)
        std::fclose(handle);
    handle = nullptr;
    FreeBuffer();
    Reset();
}

int VirtualFile::Write(const void* source, int32_t byteCount)
{
    if (!IsOpen()) {
        LogWarning("Запись в закрытый файл [%s].", GetPath().GetBuffer());
        return 1;
    }
    if (mode == ReadMode) {
        LogWarning("Запись в файл [%s], открытый для чтения.", GetPath().GetBuffer());
        return 1;
    }
    return Stream::Write(source, byteCount);
}

int VirtualFile::Read(void* destination, int32_t byteCount)
{
    if (!IsOpen()) {
        LogWarning("Чтение из закрытого файла [%s].", GetPath().GetBuffer());
        return 1;
    }
    if (mode != ReadMode) {
        LogWarning("Чтение из файла [%s], открытого для записи.", GetPath().GetBuffer());
        return 1;
    }
    return Stream::Read(destination, byteCount);
}

int32_t VirtualFile::GetSize() const
{
    if (IsOpen())
        return mode == ReadMode ? capacity : position;
    // Measuring a closed file opens and closes it, which leaves it as it was: closed,
    // with no buffer. The stream's size query is const, the file's state is not.
    VirtualFile* self = const_cast<VirtualFile*>(this);
    if (self->Open(ReadMode) != 0) {
        LogWarning("Файл [%s] не может быть открыть для чтения.", GetPath().GetBuffer());
        return 0;
    }
    const int32_t size = capacity;
    if (self->Close() != 0) {
        LogWarning("Файл [%s] не может быть закрыт.", GetPath().GetBuffer());
        return 0;
    }
    return size;
}

// --- MemoryFile ----------------------------------------------------------------------

MemoryFile::MemoryFile(const String& fileName)
    : VirtualFile(fileName), sourceData(nullptr), sourceSize(0), keeper(), open(false)
{
}

MemoryFile::~MemoryFile()
{
    Retire();
    delete[] sourceData;
    sourceData = nullptr;
    keeper = nullptr;
}

int MemoryFile::Open(int32_t openMode)
{
    if (open && Close() != 0) {
        LogWarning("Невозможно закрыть файл [%s].", GetPath().GetBuffer());
        return 1;
    }
    mode = openMode;
    if (openMode != ReadMode || !sourceData)
        return 1;
    if (sourceSize > static_cast<uint32_t>(INT32_MAX)) {
        LogWarning("Недостаточно памяти для открытия файла [%s].", GetPath().GetBuffer());
        return 2;
    }
    uint8_t* bytes = new (std::nothrow) uint8_t[sourceSize];
    if (!bytes) {
        LogWarning("Недостаточно памяти для открытия файла [%s].", GetPath().GetBuffer());
        return 2;
    }
    if (sourceSize > 0)
        std::memcpy(bytes, sourceData, sourceSize);
    AdoptBuffer(bytes, static_cast<int32_t>(sourceSize));
    Reset();
    open = true;
    return 0;
}

int MemoryFile::Close()
{
    if (!open)
        return 0;
    FreeBuffer();
    open = false;
    Reset();
    return 0;
}

void MemoryFile::SetSourceData(const uint8_t* data, uint32_t size)
{
    if (sourceData != data)
        delete[] sourceData;
    sourceData = data;
    sourceSize = data ? size : 0;
}

void MemoryFile::ForgetSourceData()
{
    sourceData = nullptr;
    sourceSize = 0;
}

} // namespace Vorn
