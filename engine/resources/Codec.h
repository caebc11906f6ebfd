// Codecs read and write one kind of file, recognised by the extension of its name (case
// matters: "Jpeg" is accepted where "jPG" is not). Each is made by its module's
// "CreateCodec" entry point and keeps that module alive. Three kinds exist: image, scene
// and file (archive) codecs.
#pragma once

#include <cstdint>

#include "engine/core/Array.h"
#include "engine/core/Named.h"
#include "engine/core/Pointer.h"
#include "engine/core/RefCounted.h"
#include "engine/core/String.h"
#include "engine/resources/Module.h"

namespace Vorn {

class Image;
class Object;
class VirtualDirectory;
class VirtualFile;

enum CodecKind : int32_t {
    ImageCodecKind = 0,
    SceneCodecKind = 1,
    FileCodecKind = 2,
    UnknownCodecKind = 3,
};

class Codec;

// A module's "CreateCodec" entry point: status 0 with the new codec, 2 out of memory.
using CreateCodecFunction = int (*)(Codec** codec);

class Codec : public Named, public virtual RefCounted {
public:
    explicit Codec(const String& codecName);

    virtual int32_t GetKind() const { return UnknownCodecKind; }

    // 0 when the file's extension is one of this codec's, 1 when not, 3 for a null file.
    int Accepts(const VirtualFile* file) const;
    // Status 0, or 2 when the list cannot grow.
    int AddExtension(const String& extension);
    int32_t GetExtensionCount() const { return extensions.GetCount(); }
    const String& GetExtension(int32_t index) const { return extensions[index]; }

    void SetModule(Module* creator) { module = creator; }
    Module* GetModule() const { return module.Get(); }

protected:
    Pointer<Module> module;
    Array<String> extensions; // filled by the concrete codec's constructor
};

class ImageCodec : public Codec {
public:
    explicit ImageCodec(const String& codecName) : Codec(codecName) {}
    int32_t GetKind() const override { return ImageCodecKind; }

    virtual int Load(VirtualFile* file, Image* image) = 0;
    virtual int Save(VirtualFile* file, Image* image) = 0;
};

// Scene files: the object-graph stream with the engine version in front.
class SceneCodec : public Codec {
public:
    explicit SceneCodec(const String& codecName) : Codec(codecName) {}
    int32_t GetKind() const override { return SceneCodecKind; }

    virtual int Load(VirtualFile* file, Pointer<Object>& root) = 0;
    virtual int Save(VirtualFile* file, Object* root) = 0;
};

// Archives, turned into a directory tree that is not attached anywhere yet.
class FileCodec : public Codec {
public:
    explicit FileCodec(const String& codecName) : Codec(codecName) {}
    int32_t GetKind() const override { return FileCodecKind; }

    virtual int Load(VirtualFile* archive, VirtualDirectory** directory, const String& password) = 0;
    // Archives are never written: the file is only created empty. Status 0, or 1 for a
    // null argument or a file that cannot be opened or closed.
    virtual int Save(VirtualFile* archive, VirtualDirectory* directory);
};

} // namespace Vorn
