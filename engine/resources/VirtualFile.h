// Files of the virtual file system. A file is a Stream whose buffer is filled when it is
// opened and, for a disk file opened for writing, written out when it is closed; between
// uses it is closed and holds no bytes. VirtualFile reaches the disk through the path its
// place in the tree gives it; MemoryFile serves bytes that already lie in memory.
#pragma once

#include <cstdint>
#include <cstdio>

#include "engine/core/Named.h"
#include "engine/core/Pointer.h"
#include "engine/core/RefCounted.h"
#include "engine/core/Stream.h"
#include "engine/core/String.h"

namespace Vorn {

class VirtualDirectory;

class VirtualFile : public Stream, public Named {
public:
    enum Mode : int32_t {
        ReadMode = 0,
        WriteMode = 1,
        AppendMode = 2,
    };

    explicit VirtualFile(const String& fileName);
    // Closes the file and detaches it from its directory.
    ~VirtualFile() override;

    // The parent directory's full path and the name; the name alone without a parent.
    String GetPath() const;
    // What follows the last '.' of the name; empty when the name has none.
    String GetExtension() const;

    // Open in mode 0 reads the whole file into the buffer; Close in mode 1 or 2 writes
    // the buffer up to the position. Both reset the stream. Status 0, 1, or 2.
    virtual int Open(int32_t openMode);
    virtual int Close();
    virtual bool IsOpen() const { return handle != nullptr; }

    // Refused (status 1, logged) while closed, and for the direction the mode forbids.
    int Write(const void* source, int32_t byteCount) override;
    int Read(void* destination, int32_t byteCount) override;
    // Open for writing: the bytes written so far; open for reading: the file's length.
    // A closed file is opened for reading and closed again to measure it.
    int32_t GetSize() const override;

    int32_t GetMode() const { return mode; }
    VirtualDirectory* GetParent() const { return parent; }

protected:
    // The destructor's work, run once by the most derived destructor so that closing
    // reaches that class's Close.
    void Retire();

    int32_t mode; // ReadMode until the first Open

private:
    friend class VirtualDirectory;

    int OpenDisk(int32_t openMode);
    int ReadWholeDisk();
    void DropHandle();

    std::FILE* handle;         // null while closed
    VirtualDirectory* parent;  // raw: the directory owns the file, not the reverse
    bool retired;
};

// A read-only file over bytes in memory: an archive entry after decompression, or a
// program resource. Each Open copies the source into the stream buffer, so the source
// stays intact however the stream is used.
class MemoryFile : public VirtualFile {
public:
    explicit MemoryFile(const String& fileName);
    // Frees the source data and lets go of the keeper.
    ~MemoryFile() override;

    // Only mode 0 opens, and only with source data; other requests fail silently.
    int Open(int32_t openMode) override;
    int Close() override;
    bool IsOpen() const override { return open; }

    // Takes ownership of bytes allocated with new[]. A caller lending bytes it keeps
    // (a program resource) calls ForgetSourceData before the file is destroyed.
    void SetSourceData(const uint8_t* data, uint32_t size);
    void ForgetSourceData();
    const uint8_t* GetSourceData() const { return sourceData; }
    uint32_t GetSourceSize() const { return sourceSize; }

    // The producer of the data (the archive codec), kept alive as long as the file.
    void SetKeeper(RefCounted* producer) { keeper = producer; }
    RefCounted* GetKeeper() const { return keeper.Get(); }

private:
    const uint8_t* sourceData; // owned, null when the file has no data
    uint32_t sourceSize;
    Pointer<RefCounted> keeper;
    bool open;
};

} // namespace Vorn
