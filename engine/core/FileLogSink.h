// The log sink the saver uses: one line per message, the level word first, written
// through the C library's buffered file (no flush after each line).
#pragma once

#include <cstdio>

#include "engine/core/Log.h"

namespace Vorn {

class FileLogSink : public LogSink {
public:
    // The name defaults to the path. An empty path, or one that cannot be opened for
    // writing, gives a sink that accepts messages and writes nothing.
    FileLogSink(const String& path, const String& sinkName);
    ~FileLogSink() override;

    void Output(LogLevel level, const String& message) override;

private:
    std::FILE* file; // null when no file is open
};

} // namespace Vorn
