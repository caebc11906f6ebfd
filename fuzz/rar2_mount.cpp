// Fuzz target for mounting an archive: the input is a RAR file handed to the file manager
// as "Fuzz.rar2". Whatever tree it gives is walked: every file must open or refuse
// cleanly, every bare file name must be found again, and the tree must go away whole.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/core/Engine.h"
#include "engine/core/Log.h"
#include "engine/resources/CodecManager.h"
#include "engine/resources/FileManager.h"
#include "engine/resources/VirtualDirectory.h"
#include "engine/resources/VirtualFile.h"

using namespace Vorn;

namespace {

// Mounting logs a line per entry; the saver always has its log open, so the lines are
// formatted here too, with names taken from the input, and dropped.
class DiscardingSink : public LogSink {
public:
    DiscardingSink() : LogSink(String("discard")) {}
    void Output(LogLevel, const String&) override {}
};

[[noreturn]] void Fail(const char* check)
{
    std::fprintf(stderr, "rar2_mount: %s\n", check);
    std::abort();
}

void StartEngineOnce()
{
    static const bool started = [] {
        if (Engine::Initialize() != 0)
            Fail("the engine did not start");
        if (CodecManager::LoadCodec(String("RAR2FileCodec")) != 0)
            Fail("the archive codec did not load");
        RegisterSink(new DiscardingSink()); // the registry holds it until exit
        return true;
    }();
    (void)started;
}

bool HasSeparator(const String& text)
{
    return std::memchr(text.GetBuffer(), '\\', static_cast<size_t>(text.GetLength())) ||
           std::memchr(text.GetBuffer(), '/', static_cast<size_t>(text.GetLength()));
}

void CheckTree(VirtualDirectory& top, VirtualDirectory& directory)
{
    directory.GetFullPath();
    for (int32_t i = 0; i < directory.GetFileCount(); ++i) {
        VirtualFile* file = directory.GetFile(i);
        if (file->GetParent() != &directory)
            Fail("a file does not name its directory as parent");
        const int32_t size = file->GetSize();
        if (file->Open(VirtualFile::ReadMode) == 0) {
            if (file->GetCapacity() != size)
                Fail("an open file's size differs from its measured size");
            file->Close();
        }
        if (!HasSeparator(file->GetName()) && !top.FindFile(file->GetName()))
            Fail("a file of the tree is not found by its name");
    }
    for (int32_t i = 0; i < directory.GetDirectoryCount(); ++i) {
        VirtualDirectory* child = directory.GetDirectory(i);
        if (child->GetParent() != &directory)
            Fail("a directory does not name its parent");
        CheckTree(top, *child);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    StartEngineOnce();
    if (size > INT32_MAX)
        return 0;
    MemoryFile archive{ String("Fuzz.rar2") };
    uint8_t* copy = new uint8_t[size];
    if (size > 0)
        std::memcpy(copy, data, size);
    archive.SetSourceData(copy, static_cast<uint32_t>(size));
    if (FileManager::MountArchive(&archive, String()) != 0)
        Fail("an archive file with data did not mount");
    VirtualDirectory* root = FileManager::GetRoot();
    if (!root || root->GetDirectoryCount() != 1)
        Fail("the mounted archive is not the root's one directory");
    VirtualDirectory* top = root->GetDirectory(0);
    CheckTree(*top, *top);
    delete top;
    if (root->GetDirectoryCount() != 0)
        Fail("the destroyed archive directory is still attached");
    return 0;
}
