#include "tests/support/LogCapture.h"

namespace Vorn {

void CaptureSink::Output(LogLevel level, const String& message)
{
    static const char* const words[] = { "INFO. ", "WARNING. ", "ERROR. ", "CRITICAL ERROR. " };
    const int index = static_cast<int>(level);
    std::string line = (index >= 0 && index <= 3) ? words[index] : "UNKNOWN. ";
    line.append(message.GetBuffer(), static_cast<size_t>(message.GetLength()));
    lines.push_back(line);
}

LogCapture::LogCapture() : sink(new CaptureSink())
{
    sink->AddReference();
    RegisterSink(sink);
    sink->lines.clear();
}

LogCapture::~LogCapture()
{
    UnregisterSink(sink);
    sink->ReleaseReference();
}

bool LogCapture::Contains(const std::string& line) const
{
    return IndexOf(line) >= 0;
}

int LogCapture::IndexOf(const std::string& line) const
{
    for (size_t i = 0; i < sink->lines.size(); ++i)
        if (sink->lines[i] == line)
            return static_cast<int>(i);
    return -1;
}

} // namespace Vorn
