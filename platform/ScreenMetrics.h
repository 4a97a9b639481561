#pragma once
// Screen metrics the full-screen layouts are computed from.  Layout code takes
// a ScreenMetrics value, so tests can give any screen.
#include <wx/gdicmn.h>

namespace plat {

struct ScreenMetrics {
    int cxScreen = 0;       // SM_CXSCREEN: the primary display's width
    int cyScreen = 0;       // SM_CYSCREEN: its height
    int cyFullScreen = 0;   // SM_CYFULLSCREEN: the work area's height minus 23
    wxRect taskbar;         // the part of the display outside its work area; empty when none
    bool hasTaskbar = false;
};

// The metrics of the current display, or the override when one is set.
ScreenMetrics GetScreenMetrics();
// Tests set fixed metrics; nullptr returns to the real display.
void SetScreenMetricsOverride(const ScreenMetrics* metrics);
// Computes the metrics from a display rectangle and its work area.
ScreenMetrics ComputeScreenMetrics(const wxRect& display, const wxRect& workArea);

}  // namespace plat

constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;
constexpr int SM_CYFULLSCREEN = 17;
int GetSystemMetrics(int index);
