// Running the real saver from a Windows-side test and reading what it leaves behind.
#pragma once

#include <windows.h>

#include <string>

// The user's application-data folder, where the saver keeps its log.
std::wstring AppDataFolder();

// Starts Dustvale.scr with the given arguments and waits for it. False when it could
// not be started or did not end in time (it is then terminated).
bool RunSaver(const std::wstring& arguments, DWORD timeoutMs, DWORD* exitCode);

// The whole file as bytes, empty when it cannot be read.
std::string ReadWholeFile(const std::wstring& path);

// In the process's ANSI code page, as the saver converts its own paths.
std::string Narrow(const std::wstring& text);
