// The screensaver host: run mode, settings, windows, frame timing, the loading screen
// and the overlay, driven by the entry point through Create, Run and Destroy. The scene
// itself is the business of a derived saver, reached through the virtual operations
// below (kept in this order). Each phase returns 0 for success and 1 for failure, and a
// failed Create is still followed by Destroy, so teardown accepts what was never made.
#pragma once

#include <windows.h>

#include "engine/core/InputHandler.h"
#include "engine/core/String.h"

namespace Vorn {

enum class RunMode : int32_t {
    Preview = 0,
    Saver = 1,
    Test = 2,
    Configure = 3,
    ChangePassword = 4,
};

class ScreensaverApp : public InputHandler {
public:
    ScreensaverApp();
    ~ScreensaverApp() override;

    int Create();
    int Run();
    int Destroy();

    // Ends the saver on a key press, any mouse button, the eleventh mouse move when
    // exit on mouse move is on, or the window closing; then the saver sees the event.
    int OnInput(const InputEvent* event) override;

    virtual int OnSaverInput(const InputEvent* event) = 0;
    virtual int SetDefaultOptions() = 0;
    virtual int LogOptions() = 0;
    virtual int ParseDefaultOption(const String& key, const String& value) = 0;
    virtual int ReadOptions(HKEY key) = 0;
    virtual int WriteOptions(HKEY key) = 0;
    virtual int OnSettingsMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) = 0;
    virtual int ShowOptions() = 0;
    virtual int OnInitialize() = 0;
    virtual int OnShutdown() = 0;
    virtual int Update(double elapsedSeconds) = 0;
    virtual int Render() = 0;
    virtual int CreateVisuals() = 0;
    virtual int DestroyVisuals() = 0;
    virtual int CreateSaverData() = 0;
    virtual int DestroySaverData() = 0;
    virtual int CacheSaverData() = 0;
    virtual int OnSettingsInit(HWND dialog) = 0;

    RunMode GetMode() const { return mode; }
    bool IsRunning() const { return running; }
    void Stop() { running = false; }

    // The one application of the process, for window and dialog procedures.
    static ScreensaverApp* GetInstance() { return instance; }

protected:
    // Start-up and teardown steps, in the order Create and Destroy take them.
    int SelectMode();
    int LoadDefaults();
    int ApplyDefaults();
    int ReadRegistry();
    int LogSettings();
    int LoadStrings();
    int Initialize();
    int CreateWindows();
    int CreateLoaderVisuals();
    int ShowLoadingScreen();
    int DestroyLoaderVisuals();
    int DestroyWindows();
    int Shutdown();
    int CreateRenderer();
    int DestroyRenderer();
    int RunConfigure();
    int RunPreview();
    int RunFrameLoop();

    RunMode mode;
    HINSTANCE module;
    HWND parentWindow;
    String registryPath;
    HWND hostWindow;
    bool running;

private:
    static ScreensaverApp* instance;
};

} // namespace Vorn
