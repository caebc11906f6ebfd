#include "host/ScreensaverApp.h"

#include "engine/core/Engine.h"
#include "engine/core/Log.h"

namespace Vorn {

ScreensaverApp* ScreensaverApp::instance = nullptr;

ScreensaverApp::ScreensaverApp()
    : InputHandler(String()), mode(RunMode::Configure), module(GetModuleHandleW(nullptr)), parentWindow(nullptr),
      registryPath("Software\\HALVARD Studio\\Test Screensaver"), hostWindow(nullptr), running(false)
{
    instance = this;
}

ScreensaverApp::~ScreensaverApp()
{
    instance = nullptr;
    module = nullptr;
    parentWindow = nullptr;
    hostWindow = nullptr;
}

namespace {

struct Step {
    int (ScreensaverApp::*run)();
    const char* failure;
    const char* success; // null: nothing is logged on success
    bool fatal;          // false: the failure is logged and start-up goes on
};

// Runs the steps in order, logging each one's outcome; 1 at the first fatal failure.
template <size_t count>
int RunSteps(ScreensaverApp& app, const Step (&steps)[count])
{
    for (const Step& step : steps) {
        if ((app.*step.run)() != 0) {
            LogError("%s", step.failure);
            if (step.fatal)
                return 1;
        } else if (step.success) {
            LogInfo("%s", step.success);
        }
    }
    return 0;
}

} // namespace

int ScreensaverApp::Create()
{
    static const Step steps[] = {
        { &ScreensaverApp::LoadDefaults, "Невозможно загрузить значения параметров по-умолчанию.",
          "Значения параметров по-умолчанию загружены.", true },
        { &ScreensaverApp::ApplyDefaults, "Невозможно установить значения параметров по-умолчанию.",
          "Значения параметров по-умолчанию установлены.", true },
        { &ScreensaverApp::ReadRegistry, "Невозможно прочитать значения параметров из реестра.",
          "Значения параметров прочитаны из реестра.", true },
        { &ScreensaverApp::LogSettings, "Невозможно вывести значения параметров.", nullptr, false },
        { &ScreensaverApp::LoadStrings, "Невозможно загрузить значения локальных данных.",
          "Значения локальных данных загружены.", true },
        { &ScreensaverApp::Initialize, "Невозможно инициализировать скринсейвер.", "Скринсейвер инициализирован.", true },
        { &ScreensaverApp::CreateWindows, "Невозможно создать окна скринсейвера.", "Окна скринсейвера созданы.", true },
    };

    if (SelectMode() != 0) {
        LogError("Невозможно выбрать режим скринсейвера.");
        return 1;
    }
    LogInfo("Режим скринсейвера %d.", static_cast<int>(mode));
    if (RunSteps(*this, steps) != 0)
        return 1;

    if (mode != RunMode::Saver && mode != RunMode::Test) {
        running = true;
        return 0;
    }
    // The gamma ramp and the stream volume are set here once the renderer and the sound
    // manager exist.
    static const Step saverSteps[] = {
        { &ScreensaverApp::CreateLoaderVisuals, "Невозможно создать данные визуализации.", nullptr, true },
        { &ScreensaverApp::ShowLoadingScreen, "Невозможно вывести загрузочный экран.", nullptr, true },
        { &ScreensaverApp::CreateSaverData, "Невозможно создать данные скринсейвера.", nullptr, true },
        { &ScreensaverApp::CacheSaverData, "Невозможно закэшировать данные скринсейвера.", nullptr, true },
    };
    if (RunSteps(*this, saverSteps) != 0)
        return 1;
    running = true;
    return 0;
}

int ScreensaverApp::Run()
{
    switch (mode) {
    case RunMode::Configure:
        LogInfo("Запущен режим конфигурирования.");
        return RunConfigure();
    case RunMode::Preview:
        return RunPreview();
    case RunMode::Saver:
    case RunMode::Test:
        return RunFrameLoop();
    case RunMode::ChangePassword:
        return 0;
    }
    return 1;
}

int ScreensaverApp::Destroy()
{
    if (mode == RunMode::Saver || mode == RunMode::Test) {
        if (DestroySaverData() != 0) {
            LogError("Невозможно удалить данные скринсейвера.");
            return 1;
        }
        if (DestroyLoaderVisuals() != 0) {
            LogError("Невозможно удалить данные визуализации.");
            return 1;
        }
    }
    if (DestroyWindows() != 0) {
        LogError("Невозможно удалить окна скринсейвера.");
        return 1;
    }
    LogInfo("Окна скринсейвера удалены.");
    if (Shutdown() != 0) {
        LogError("Невозможно завершить работу скринсейвера.");
        return 1;
    }
    LogInfo("Скринсейвер завершил работу.");
    return 0;
}

int ScreensaverApp::Initialize()
{
    if (mode == RunMode::ChangePassword)
        return OnInitialize();
    if (Engine::Initialize() != 0) {
        LogError("Невозможно инициализировать движок.");
        return 1;
    }
    if (CreateRenderer() != 0) {
        LogError("Невозможно создать рендерер DirectX.");
        return 1;
    }
    // Codec modules and the resource archives are loaded and mounted here once the
    // module manager and the file system exist.
    return OnInitialize();
}

int ScreensaverApp::Shutdown()
{
    if (OnShutdown() != 0)
        return 1;
    if (mode == RunMode::ChangePassword)
        return 0;
    if (DestroyRenderer() != 0) {
        LogError("Невозможно удалить рендерер DirectX.");
        return 1;
    }
    if (Engine::Shutdown() != 0) {
        LogError("Невозможно завершить работу движка.");
        return 1;
    }
    return 0;
}

int ScreensaverApp::OnInput(const InputEvent* event)
{
    if (!event)
        return OnSaverInput(event);
    const InputDevice device = static_cast<InputDevice>(event->device);
    const InputAction action = static_cast<InputAction>(event->action);
    if ((device == InputDevice::Keyboard || device == InputDevice::Mouse) && action == InputAction::Press)
        running = false;
    // The move counter belongs to the settings' exit-on-mouse-move switch, which
    // arrives with the settings store; until then moves never end the saver.
    if (device == InputDevice::Window && action == InputAction::Close && event->code == 0)
        running = false;
    return OnSaverInput(event);
}

// --- steps whose subsystems are not part of the program yet ------------------------------
// Each reports failure, so start-up stops there with that step's own message.

int ScreensaverApp::SelectMode() { return 1; }
int ScreensaverApp::LoadDefaults() { return 1; }
int ScreensaverApp::ApplyDefaults() { return 1; }
int ScreensaverApp::ReadRegistry() { return 1; }
int ScreensaverApp::LogSettings() { return 1; }
int ScreensaverApp::LoadStrings() { return 1; }
int ScreensaverApp::CreateWindows() { return 1; }
int ScreensaverApp::CreateRenderer() { return 1; }
int ScreensaverApp::CreateLoaderVisuals() { return 1; }
int ScreensaverApp::ShowLoadingScreen() { return 1; }
int ScreensaverApp::RunConfigure() { return 1; }
int ScreensaverApp::RunPreview() { return 1; }
int ScreensaverApp::RunFrameLoop() { return 1; }

// Nothing of these was made yet, so there is nothing to take down.
int ScreensaverApp::DestroyLoaderVisuals() { return 0; }
int ScreensaverApp::DestroyWindows() { return 0; }
int ScreensaverApp::DestroyRenderer() { return 0; }

} // namespace Vorn
