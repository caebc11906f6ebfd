#include "host/SceneSaver.h"

namespace Vorn {

SceneSaver::SceneSaver() {}

SceneSaver::~SceneSaver() {}

// The scene ignores input; the host already ends the saver where it should.
int SceneSaver::OnSaverInput(const InputEvent*) { return 0; }

// The scene's own settings, data and drawing arrive with the scene; until then every
// operation accepts and does nothing, so teardown after any failed start-up succeeds.
int SceneSaver::SetDefaultOptions() { return 0; }
int SceneSaver::LogOptions() { return 0; }
int SceneSaver::ParseDefaultOption(const String&, const String&) { return 0; }
int SceneSaver::ReadOptions(HKEY) { return 0; }
int SceneSaver::WriteOptions(HKEY) { return 0; }
int SceneSaver::OnSettingsMessage(HWND, UINT, WPARAM, LPARAM) { return 0; }
int SceneSaver::ShowOptions() { return 0; }
int SceneSaver::OnInitialize() { return 0; }
int SceneSaver::OnShutdown() { return 0; }
int SceneSaver::Update(double) { return 0; }
int SceneSaver::Render() { return 0; }
int SceneSaver::CreateVisuals() { return 0; }
int SceneSaver::DestroyVisuals() { return 0; }
int SceneSaver::CreateSaverData() { return 0; }
int SceneSaver::DestroySaverData() { return 0; }
int SceneSaver::CacheSaverData() { return 0; }
int SceneSaver::OnSettingsInit(HWND) { return 0; }

} // namespace Vorn
