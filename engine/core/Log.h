// The process-wide log. A message is formatted once into a 4096-byte buffer (longer
// messages are cut there) and handed to every registered sink in registration order.
// Messages logged while no sink is registered are lost.
#pragma once

#include <cstdint>

#include "engine/core/Named.h"
#include "engine/core/RefCounted.h"

namespace Vorn {

// Any other value is printed as an unknown level.
enum class LogLevel : int32_t {
    Info = 0,
    Warning = 1,
    Error = 2,
    CriticalError = 3,
};

#if defined(__MINGW32__) || defined(__GNUC__)
#define VORN_PRINTF_FORMAT(formatIndex, firstArgument) __attribute__((format(gnu_printf, formatIndex, firstArgument)))
#else
#define VORN_PRINTF_FORMAT(formatIndex, firstArgument)
#endif

class LogSink : public Named, public virtual RefCounted {
public:
    explicit LogSink(const String& sinkName) : Named(sinkName) {}
    virtual void Output(LogLevel level, const String& message) = 0;
};

// Each returns the number of sinks that received the message.
int LogInfo(const char* format, ...) VORN_PRINTF_FORMAT(1, 2);
int LogWarning(const char* format, ...) VORN_PRINTF_FORMAT(1, 2);
int LogError(const char* format, ...) VORN_PRINTF_FORMAT(1, 2);
int LogCritical(const char* format, ...) VORN_PRINTF_FORMAT(1, 2);

// Status 0 done, 3 null sink or not registered. The registry holds a reference to
// each sink; a sink registered twice is kept once.
int RegisterSink(LogSink* sink);
int UnregisterSink(LogSink* sink);
int GetSinkCount();

} // namespace Vorn
