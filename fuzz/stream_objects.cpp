// Fuzz target for the object stream loader: the input is read as a scene file and as a
// run of object references, and whatever loads is saved and loaded again, which must
// succeed and give a file of the same size.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/core/Engine.h"
#include "engine/core/Log.h"
#include "engine/core/Stream.h"

using namespace Vorn;

// A file may tie owning references into a cycle (a node that is its own child, a
// controller attached to itself); reference counting cannot free those, so such inputs
// leak by design and would drown every real finding in leak reports. The leak checker
// is told to ignore what this target allocates; a default-options hook would not do,
// since ASAN_OPTIONS (set by the corpus test and by the fuzz script) overrides it. Weak,
// so that the target still links in a build without sanitizers.
extern "C" void __lsan_disable() __attribute__((weak));
extern "C" void __lsan_enable() __attribute__((weak));

namespace {

constexpr int MaxRow = 4;

class LeakCheckPause {
public:
    LeakCheckPause()
    {
        if (__lsan_disable)
            __lsan_disable();
    }
    ~LeakCheckPause()
    {
        if (__lsan_enable)
            __lsan_enable();
    }
};

// A stream over a copy of the input, as a file is after opening.
class InputStream : public Stream {
public:
    InputStream(const uint8_t* bytes, size_t byteCount) : Stream(0, 1024)
    {
        if (byteCount == 0)
            return;
        uint8_t* copy = new uint8_t[byteCount];
        std::memcpy(copy, bytes, byteCount);
        AdoptBuffer(copy, static_cast<int32_t>(byteCount));
    }
};

// The saver always has its log file open, so every message is formatted; this sink
// makes the loader's messages (with names taken from the input) go through formatting
// too, and drops them.
class DiscardingSink : public LogSink {
public:
    DiscardingSink() : LogSink(String("discard")) {}
    void Output(LogLevel, const String&) override {}
};

[[noreturn]] void Fail(const char* check)
{
    std::fprintf(stderr, "stream_objects: %s\n", check);
    std::abort();
}

void StartEngineOnce()
{
    static const bool started = [] {
        if (Engine::Initialize() != 0)
            Fail("the engine did not start");
        RegisterSink(new DiscardingSink()); // the registry holds it until exit
        return true;
    }();
    (void)started;
}

// A graph that loaded must survive its own save: it is saved to a file-like stream,
// loaded again and saved once more. Identifiers change with every load, but each takes
// four bytes wherever it stands, so both saves have the same size. The objects stay alive
// through the reading stream that made them, since raw references (a parent, "other")
// may point at objects that only that stream holds.
void CheckSceneRoundTrip(Object* root)
{
    Stream first(0, 1024);
    if (WriteScene(first, root) != 0)
        Fail("a loaded scene could not be saved");
    InputStream reread(first.GetBuffer(), static_cast<size_t>(first.GetPosition()));
    Pointer<Object> copy;
    if (ReadScene(reread, copy) != 0 || !copy || reread.GetRemaining() != 0)
        Fail("a saved scene did not load back whole");
    Stream second(0, 1024);
    if (WriteScene(second, copy.Get()) != 0 || second.GetPosition() != first.GetPosition())
        Fail("the second save of a scene differs in size from the first");
}

// The same for references read one after another: they are saved to one stream in the
// same order, so that an object first met in an earlier reference is again written there
// and nests no deeper than it did in the input.
void CheckRowRoundTrip(Object* const* objects, int count)
{
    Stream first(0, 1024);
    for (int i = 0; i < count; ++i)
        if (first.WriteObject(objects[i]) != 0)
            Fail("loaded references could not be saved");
    InputStream reread(first.GetBuffer(), static_cast<size_t>(first.GetPosition()));
    Object* copies[MaxRow] = {};
    for (int i = 0; i < count; ++i)
        if (reread.ReadObject(copies[i]) != 0 || (copies[i] == nullptr) != (objects[i] == nullptr))
            Fail("saved references did not load back");
    if (reread.GetRemaining() != 0)
        Fail("saved references loaded back short of their end");
    Stream second(0, 1024);
    for (int i = 0; i < count; ++i)
        if (second.WriteObject(copies[i]) != 0)
            Fail("reloaded references could not be saved");
    if (second.GetPosition() != first.GetPosition())
        Fail("the second save of references differs in size from the first");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const LeakCheckPause pause;
    StartEngineOnce();
    if (size > INT32_MAX)
        return 0;

    {
        InputStream in(data, size);
        Pointer<Object> root;
        if (ReadScene(in, root) == 0 && root)
            CheckSceneRoundTrip(root.Get());
    }

    // The same bytes as references in a row, the way a class's Load reads its fields; a
    // later reference may name an object of an earlier one. Only the references read
    // before the first failure are complete.
    InputStream in(data, size);
    Object* loaded[MaxRow] = {};
    int count = 0;
    while (count < MaxRow && in.ReadObject(loaded[count]) == 0)
        ++count;
    if (count > 0)
        CheckRowRoundTrip(loaded, count);
    return 0;
}
