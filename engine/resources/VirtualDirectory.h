// A named node of the virtual file system that owns its sub-directories and files:
// destroying a directory destroys everything below it. Lists are kept by descending first
// byte of the name (signed, so Cyrillic names come after ASCII ones); lookups by path
// accept '\' and '/' and compare names byte for byte, case included.
#pragma once

#include <cstdint>

#include "engine/core/Array.h"
#include "engine/core/Named.h"
#include "engine/core/String.h"

namespace Vorn {

class VirtualFile;

class VirtualDirectory : public Named {
public:
    // With a parent, the new directory attaches itself to it (a refusal is logged and
    // leaves the directory unattached).
    explicit VirtualDirectory(const String& directoryName, VirtualDirectory* parentDirectory = nullptr);
    ~VirtualDirectory() override;
    VirtualDirectory(const VirtualDirectory&) = delete;
    VirtualDirectory& operator=(const VirtualDirectory&) = delete;

    // Membership. Attaching takes ownership and moves an entry out of any other
    // directory; names are not compared, so two entries may share one. Status 0, or 3
    // for every refusal (null, already here, a directory into its own subtree, memory).
    int AttachDirectory(VirtualDirectory* directory);
    int DetachDirectory(VirtualDirectory* directory);
    int AttachFile(VirtualFile* file);
    int DetachFile(VirtualFile* file);

    // Lookups relative to this directory; null when nothing matches, without a message.
    // Path components may be empty or "." (this directory) or ".." (the parent). A bare
    // file name is searched depth first, a directory's own files before its
    // sub-directories.
    VirtualDirectory* FindDirectory(const String& path);
    VirtualFile* FindFile(const String& path);

    // Empty for a directory with an empty name (the root); otherwise the parent's path,
    // the name and "/". The parent's part is computed once and kept, so a directory is
    // placed in its final parent before anyone asks for its path.
    String GetFullPath() const;

    VirtualDirectory* GetParent() const { return parent; }
    int32_t GetDirectoryCount() const { return directories.GetCount(); }
    VirtualDirectory* GetDirectory(int32_t index) const { return directories[index]; }
    int32_t GetFileCount() const { return files.GetCount(); }
    VirtualFile* GetFile(int32_t index) const { return files[index]; }

private:
    VirtualDirectory* FindSubdirectory(const char* componentName, int32_t length) const;
    VirtualFile* FindFileByName(const String& fileName) const;
    bool LiesWithin(const VirtualDirectory* directory) const;

    mutable String parentPath; // empty until first needed
    VirtualDirectory* parent;  // raw: the parent owns this directory, not the reverse
    Array<VirtualDirectory*> directories;
    Array<VirtualFile*> files;
};

// The two texts one after the other, then the suffix: how paths are put together.
String JoinText(const String& head, const String& tail, const char* suffix = "");

} // namespace Vorn
