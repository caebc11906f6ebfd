// Starts the real Dustvale.scr with a fresh log folder and checks its log file as it
// lands on disk: Windows-1251 text, the sink's own registration line first (naming the
// file itself), "Конец лога." last, and an orderly exit code.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <string>

#include "tests/windows/support/SaverProcess.h"

TEST(SaverLog, FreshLogFileStartsWithItsRegistrationAndEndsTheLog)
{
    const std::wstring folder = AppDataFolder() + L"\\HALVARD Studio";
    const std::wstring logPath = folder + L"\\VornLog.txt";
    DeleteFileW(logPath.c_str());
    RemoveDirectoryW(folder.c_str());
    ASSERT_EQ(GetFileAttributesW(folder.c_str()), INVALID_FILE_ATTRIBUTES);

    DWORD exitCode = 0;
    ASSERT_TRUE(RunSaver(L"/s", 60000, &exitCode));
    EXPECT_EQ(exitCode, 0u);

    const std::string log = ReadWholeFile(logPath);
    ASSERT_FALSE(log.empty());
    const std::string firstLine = "INFO. Объект вывода сообщений зарегестрирован. [" + Narrow(logPath) + "]\r\n";
    EXPECT_EQ(log.substr(0, firstLine.size()), firstLine);
    const std::string lastLine = "\r\nINFO. Конец лога.\r\n";
    ASSERT_GE(log.size(), lastLine.size());
    EXPECT_EQ(log.substr(log.size() - lastLine.size()), lastLine);
    // The text is Windows-1251: "Конец" is CA EE ED E5 F6 there.
    EXPECT_NE(log.find("\xCA\xEE\xED\xE5\xF6"), std::string::npos);
}

TEST(SaverLog, EveryModeEndsTheLogAndExitsOrderly)
{
    for (const wchar_t* arguments : { L"/c", L"-S", L"/p 1234", L"/a", L"" }) {
        DWORD exitCode = 1;
        ASSERT_TRUE(RunSaver(arguments, 60000, &exitCode)) << Narrow(arguments);
        EXPECT_EQ(exitCode, 0u) << Narrow(arguments);
        const std::string log = ReadWholeFile(AppDataFolder() + L"\\HALVARD Studio\\VornLog.txt");
        const std::string lastLine = "INFO. Конец лога.\r\n";
        ASSERT_GE(log.size(), lastLine.size());
        EXPECT_EQ(log.substr(log.size() - lastLine.size()), lastLine) << Narrow(arguments);
    }
}
