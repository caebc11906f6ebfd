#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "engine/core/FileLogSink.h"
#include "engine/core/Pointer.h"
#include "tests/support/LogCapture.h"

using namespace Vorn;

namespace {

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string TempPath(const char* name)
{
    return std::string(::testing::TempDir()) + name + std::to_string(getpid());
}

} // namespace

TEST(Log, WithoutSinksMessagesAreLost)
{
    ASSERT_EQ(GetSinkCount(), 0);
    EXPECT_EQ(LogInfo("x %d", 1), 0);
    EXPECT_EQ(LogWarning("x"), 0);
    EXPECT_EQ(LogError("x"), 0);
    EXPECT_EQ(LogCritical("x"), 0);
    EXPECT_EQ(RegisterSink(nullptr), 3);
    EXPECT_EQ(UnregisterSink(nullptr), 3);
}

TEST(Log, FileSinkWritesRegistrationLineFirstAndEachLevelWord)
{
    const std::string path = TempPath("vornlog");
    {
        Pointer<FileLogSink> sink(new FileLogSink(String(path.c_str()), String()));
        ASSERT_EQ(RegisterSink(sink.Get()), 0);
        EXPECT_EQ(LogInfo("Сообщение %d", 1), 1);
        LogWarning("w");
        LogError("e");
        LogCritical("c");
        sink->Output(static_cast<LogLevel>(7), String("odd"));
        ASSERT_EQ(UnregisterSink(sink.Get()), 0);
        EXPECT_EQ(LogInfo("after"), 0);
    }
    const std::string expected = "INFO. Объект вывода сообщений зарегестрирован. [" + path + "]\n"
                                 "INFO. Сообщение 1\n"
                                 "WARNING. w\n"
                                 "ERROR. e\n"
                                 "CRITICAL ERROR. c\n"
                                 "UNKNOWN. odd\n"
                                 "INFO. Объект вывода сообщений разрегестрирован. [" + path + "]\n";
    EXPECT_EQ(ReadFile(path), expected);
    std::remove(path.c_str());
}

TEST(Log, SecondRegistrationWarnsAndKeepsOneEntry)
{
    LogCapture capture;
    CaptureSink* sink = new CaptureSink();
    Pointer<CaptureSink> hold(sink);
    ASSERT_EQ(RegisterSink(sink), 0);
    ASSERT_EQ(RegisterSink(sink), 0);
    EXPECT_EQ(GetSinkCount(), 2);
    EXPECT_EQ(sink->lines.back(), "WARNING. Объект вывода сообщений уже зарегестрирован. [capture]");
    // Both sinks receive messages in registration order, each in logging order.
    EXPECT_EQ(LogInfo("one"), 2);
    LogInfo("two");
    EXPECT_EQ(sink->lines[sink->lines.size() - 2], "INFO. one");
    EXPECT_EQ(sink->lines.back(), "INFO. two");
    EXPECT_EQ(capture.Lines().back(), "INFO. two");
    EXPECT_EQ(UnregisterSink(sink), 0);
    EXPECT_EQ(UnregisterSink(sink), 3);
    EXPECT_EQ(GetSinkCount(), 1);
}

TEST(Log, UnopenableFileAcceptsMessagesAndWritesNothing)
{
    Pointer<FileLogSink> sink(new FileLogSink(String("/nonexistent-folder/x/log.txt"), String("broken")));
    ASSERT_EQ(RegisterSink(sink.Get()), 0);
    EXPECT_EQ(LogInfo("lost"), 1);
    EXPECT_EQ(UnregisterSink(sink.Get()), 0);
}

TEST(Log, LongMessagesAreCutAtTheBuffer)
{
    LogCapture capture;
    const std::string longText(10000, 'a');
    LogInfo("%s", longText.c_str());
    ASSERT_EQ(capture.Lines().size(), 1u);
    EXPECT_EQ(capture.Lines()[0], "INFO. " + std::string(4095, 'a'));
}
