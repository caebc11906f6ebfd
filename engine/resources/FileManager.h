// The root of the virtual file system. Archives are mounted as directories below the
// root, and lookups by path go through those directories in list order; files attached
// to the root itself are not searched. The tree lives from the manager's initialiser to
// its terminator, which destroys it whole.
#pragma once

#include <cstdint>

#include "engine/core/String.h"

namespace Vorn {

class VirtualDirectory;
class VirtualFile;

namespace FileManager {

// The root directory (empty name, no parent), null outside the engine's lifetime.
VirtualDirectory* GetRoot();
// The first hit of FindFile among the directories attached to the root, or null.
VirtualFile* FindFile(const String& path);
// Builds a directory from the archive through the file codec its extension selects and
// attaches it to the root; the archive file stays the caller's. Status 0, 1, 2 or 3.
int MountArchive(VirtualFile* archive, const String& password = String());
// The same for a "MEDIADATA" resource of the program, mounted under the given name.
int MountResourceArchive(int32_t id, const String& name, const String& password = String());

// One-time registration of the initialiser and of the terminator with the engine.
bool RegisterInitializer();
bool RegisterTerminator();

} // namespace FileManager

[[maybe_unused]] static const bool fileManagerInitializerRegistration = FileManager::RegisterInitializer();
[[maybe_unused]] static const bool fileManagerTerminatorRegistration = FileManager::RegisterTerminator();

} // namespace Vorn
