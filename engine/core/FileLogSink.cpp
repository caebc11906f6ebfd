#include "engine/core/FileLogSink.h"

namespace Vorn {

FileLogSink::FileLogSink(const String& path, const String& sinkName)
    : LogSink(sinkName.IsEmpty() ? path : sinkName), file(nullptr)
{
    if (!path.IsEmpty())
        file = std::fopen(path.GetBuffer(), "w");
}

FileLogSink::~FileLogSink()
{
    if (file)
        std::fclose(file);
}

void FileLogSink::Output(LogLevel level, const String& message)
{
    if (!file)
        return;
    const char* format;
    switch (level) {
    case LogLevel::Info: format = "INFO. %s\n"; break;
    case LogLevel::Warning: format = "WARNING. %s\n"; break;
    case LogLevel::Error: format = "ERROR. %s\n"; break;
    case LogLevel::CriticalError: format = "CRITICAL ERROR. %s\n"; break;
    default: format = "UNKNOWN. %s\n"; break;
    }
    std::fprintf(file, format, message.GetBuffer());
}

} // namespace Vorn
