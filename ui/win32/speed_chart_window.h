// The speed over the position in the test data, drawn from the engine's
// profile once a second: live while a run goes on, the last run's after it.
// A window of its own beside the dialogs, opened from their context menus.
#pragma once

#include <windows.h>

#include "engine/engine.h"

namespace kalvex::win32 {

// The context-menu command that opens the chart.
constexpr UINT IDM_SPEED_CHART = 0x0020;

// Opens a chart window owned by owner, which takes it along when it closes.
// Returns the window, or nullptr when it could not be made.
HWND OpenSpeedChartWindow(CTestEngine& engine, HWND owner);

}  // namespace kalvex::win32
