// A log sink that keeps every line it receives, in the file sink's "LEVEL. text" form,
// registered for the lifetime of the capture.
#pragma once

#include <string>
#include <vector>

#include "engine/core/Log.h"

namespace Vorn {

class CaptureSink : public LogSink {
public:
    CaptureSink() : LogSink(String("capture")) {}
    void Output(LogLevel level, const String& message) override;

    std::vector<std::string> lines;
};

class LogCapture {
public:
    LogCapture();
    ~LogCapture();

    const std::vector<std::string>& Lines() const { return sink->lines; }
    bool Contains(const std::string& line) const;
    // Index of the first line equal to the given one, -1 when absent.
    int IndexOf(const std::string& line) const;
    void Clear() { sink->lines.clear(); }

private:
    CaptureSink* sink;
};

} // namespace Vorn
