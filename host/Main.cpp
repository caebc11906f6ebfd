// The process entry point: opens the log under the user's application-data folder and
// drives the one saver through Create, Run and Destroy.
#include <windows.h>
#include <shlobj.h>

#include <cwchar>

#include "engine/core/FileLogSink.h"
#include "engine/core/Log.h"
#include "engine/core/Pointer.h"
#include "host/SceneSaver.h"

using namespace Vorn;

namespace {

// "%APPDATA%\HALVARD Studio\VornLog.txt", creating the folder; null when the shell has
// no application-data folder, and the saver then runs without a log file.
FileLogSink* OpenLogSink()
{
    wchar_t folder[MAX_PATH + 64];
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, folder)))
        return nullptr;
    wcscat(folder, L"\\HALVARD Studio");
    SECURITY_ATTRIBUTES attributes = { sizeof attributes, nullptr, TRUE };
    CreateDirectoryW(folder, &attributes);
    wcscat(folder, L"\\VornLog.txt");
    char path[1024];
    if (WideCharToMultiByte(CP_ACP, 0, folder, -1, path, sizeof path, nullptr, nullptr) == 0)
        return nullptr;
    return new FileLogSink(String(path), String());
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    BOOL wasRunning = FALSE;
    SystemParametersInfoW(SPI_SETSCREENSAVERRUNNING, TRUE, &wasRunning, 0);
    FileLogSink* sink = OpenLogSink();
    if (sink)
        RegisterSink(sink);
    try {
        Pointer<ScreensaverApp> saver(new SceneSaver());
        if (saver->Create() != 0) {
            LogError("Невозможно создать скринсейвер.");
        } else {
            LogInfo("Сейвер создан.");
            if (saver->Run() != 0)
                LogError("Работа скринсейвера завершена некорректно.");
            else
                LogInfo("Работа скринсейвера завершена корректно.");
        }
        if (saver->Destroy() != 0)
            LogError("Ошибка при окончании работы скринсейвера.");
        ShowCursor(TRUE);
        saver = nullptr;
        LogInfo("Конец лога.");
        return 0;
    } catch (...) {
        LogError("Конец лога вследствии ошибки");
        if (sink)
            UnregisterSink(sink);
        return 1;
    }
}
