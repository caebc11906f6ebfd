#include "engine/core/Log.h"

#include <cstdarg>
#include <cstdio>

#include "engine/core/Array.h"
#include "engine/core/Pointer.h"

namespace Vorn {

namespace {

using SinkList = Array<Pointer<LogSink>>;

// Created by the first registration. The keeper's destructor releases every sink still
// registered at static destruction (closing the log file); anything logged after that
// finds no sink and is dropped.
SinkList* sinks = nullptr;

struct SinkRegistryKeeper {
    ~SinkRegistryKeeper()
    {
        SinkList* list = sinks;
        sinks = nullptr;
        delete list;
    }
} sinkRegistryKeeper;

// By identity, without making a temporary Pointer: a sink nobody holds yet would be
// destroyed when such a temporary let go of it.
int32_t FindSink(const LogSink* sink)
{
    if (sinks)
        for (int32_t i = 0; i < sinks->GetCount(); ++i)
            if ((*sinks)[i].Get() == sink)
                return i;
    return -1;
}

int Dispatch(LogLevel level, const char* format, va_list arguments)
{
    // Nothing would receive the text, so it is not formatted either.
    if (!sinks || sinks->GetCount() == 0)
        return 0;
    char text[4096];
    std::vsnprintf(text, sizeof text, format, arguments);
    // The count is read again after each sink: a sink registered during output also
    // receives this message.
    int32_t i = 0;
    for (; sinks && i < sinks->GetCount(); ++i) {
        Pointer<LogSink> sink = (*sinks)[i];
        sink->Output(level, String(text));
    }
    return i;
}

} // namespace

#define VORN_DEFINE_LOG_FUNCTION(name, level)         \
    int name(const char* format, ...)                 \
    {                                                 \
        va_list arguments;                            \
        va_start(arguments, format);                  \
        int received = Dispatch(level, format, arguments); \
        va_end(arguments);                            \
        return received;                              \
    }

VORN_DEFINE_LOG_FUNCTION(LogInfo, LogLevel::Info)
VORN_DEFINE_LOG_FUNCTION(LogWarning, LogLevel::Warning)
VORN_DEFINE_LOG_FUNCTION(LogError, LogLevel::Error)
VORN_DEFINE_LOG_FUNCTION(LogCritical, LogLevel::CriticalError)

int RegisterSink(LogSink* sink)
{
    if (!sink)
        return 3;
    if (FindSink(sink) >= 0) {
        LogWarning("Объект вывода сообщений уже зарегестрирован. [%s]", sink->GetName().GetBuffer());
        return 0;
    }
    if (!sinks) {
        sinks = new (std::nothrow) SinkList(1, 1);
        if (!sinks)
            return 2;
    }
    if (sinks->Append(Pointer<LogSink>(sink)) != 0)
        return 2;
    LogInfo("Объект вывода сообщений зарегестрирован. [%s]", sink->GetName().GetBuffer());
    return 0;
}

int UnregisterSink(LogSink* sink)
{
    if (!sinks || !sink)
        return 3;
    const int32_t index = FindSink(sink);
    if (index < 0)
        return 3;
    // The sink still receives its own unregistration line.
    LogInfo("Объект вывода сообщений разрегестрирован. [%s]", sink->GetName().GetBuffer());
    sinks->RemoveAt(index);
    return 0;
}

int GetSinkCount()
{
    return sinks ? sinks->GetCount() : 0;
}

} // namespace Vorn
