// The process-wide table of codecs, keyed by codec name (the name of the module that
// makes it). Codecs are created on request from registered modules and stay until the
// manager's terminator; loaders pick the codec by the file's extension.
#pragma once

#include "engine/core/Pointer.h"
#include "engine/core/String.h"
#include "engine/resources/Codec.h"

namespace Vorn {

class Object;
class VirtualFile;

namespace CodecManager {

// Refused when null (3) or when the name is taken (1). As with modules, hand over a
// codec held in a Pointer; the table takes its reference on success only.
int RegisterCodec(Codec* codec);
// The registered codec of that name, or else one made by the registered module of that
// name through its "CreateCodec" entry point. The optional out slot receives it.
int LoadCodec(const String& name, Codec** codec = nullptr);
// The registered codec of that name, or null.
Codec* FindCodec(const String& name);
// The first registered codec, bucket by bucket, that accepts the file; or null.
Codec* FindCodecForFile(const VirtualFile* file);

// Loads a scene file through the scene codec its extension selects. A file whose
// extension belongs to a codec of another kind counts as having no codec. Status 0, 1
// when the codec fails, 3 for a null file or no codec.
int LoadSceneFromFile(VirtualFile* file, Pointer<Object>& root);

// One-time registration of the initialiser and of the terminator with the engine.
bool RegisterInitializer();
bool RegisterTerminator();

} // namespace CodecManager

[[maybe_unused]] static const bool codecManagerInitializerRegistration = CodecManager::RegisterInitializer();
[[maybe_unused]] static const bool codecManagerTerminatorRegistration = CodecManager::RegisterTerminator();

} // namespace Vorn
