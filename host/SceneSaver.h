// The one concrete saver: the animated town scene. It fills the saver operations of
// ScreensaverApp with the scene's settings, data and drawing.
#pragma once

#include "host/ScreensaverApp.h"

namespace Vorn {

class SceneSaver : public ScreensaverApp {
public:
    SceneSaver();
    ~SceneSaver() override;

    int OnSaverInput(const InputEvent* event) override;
    int SetDefaultOptions() override;
    int LogOptions() override;
    int ParseDefaultOption(const String& key, const String& value) override;
    int ReadOptions(HKEY key) override;
    int WriteOptions(HKEY key) override;
    int OnSettingsMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) override;
    int ShowOptions() override;
    int OnInitialize() override;
    int OnShutdown() override;
    int Update(double elapsedSeconds) override;
    int Render() override;
    int CreateVisuals() override;
    int DestroyVisuals() override;
    int CreateSaverData() override;
    int DestroySaverData() override;
    int CacheSaverData() override;
    int OnSettingsInit(HWND dialog) override;
};

} // namespace Vorn
