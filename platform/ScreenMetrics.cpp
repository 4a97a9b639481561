#include "platform/ScreenMetrics.h"

#include <algorithm>
#include <mutex>
#include <optional>

#include <wx/display.h>

namespace plat {

namespace {
std::mutex g_overrideMutex;
std::optional<ScreenMetrics> g_override;
}  // namespace

ScreenMetrics ComputeScreenMetrics(const wxRect& display, const wxRect& workArea) {
    ScreenMetrics m;
    m.cxScreen = display.width;
    m.cyScreen = display.height;
    m.cyFullScreen = workArea.height - 23;
    // The taskbar is the strip of the display that the work area leaves out:
    // a panel along one edge.  Anything else (no panel, or panels on several
    // edges) is reported by its bounding strip along the largest gap.
    const int top = workArea.y - display.y;
    const int bottom = display.GetBottom() - workArea.GetBottom();
    const int left = workArea.x - display.x;
    const int right = display.GetRight() - workArea.GetRight();
    const int largest = std::max(std::max(top, bottom), std::max(left, right));
    if (largest <= 0) return m;
    m.hasTaskbar = true;
    if (largest == bottom)
        m.taskbar = wxRect(display.x, workArea.GetBottom() + 1, display.width, bottom);
    else if (largest == top)
        m.taskbar = wxRect(display.x, display.y, display.width, top);
    else if (largest == left)
        m.taskbar = wxRect(display.x, display.y, left, display.height);
    else
        m.taskbar = wxRect(workArea.GetRight() + 1, display.y, right, display.height);
    return m;
}

ScreenMetrics GetScreenMetrics() {
    {
        std::lock_guard<std::mutex> lock(g_overrideMutex);
        if (g_override) return *g_override;
    }
    wxDisplay display;  // the primary display
    return ComputeScreenMetrics(display.GetGeometry(), display.GetClientArea());
}

void SetScreenMetricsOverride(const ScreenMetrics* metrics) {
    std::lock_guard<std::mutex> lock(g_overrideMutex);
    if (metrics)
        g_override = *metrics;
    else
        g_override.reset();
}

}  // namespace plat

int GetSystemMetrics(int index) {
    const plat::ScreenMetrics m = plat::GetScreenMetrics();
    switch (index) {
        case SM_CXSCREEN: return m.cxScreen;
        case SM_CYSCREEN: return m.cyScreen;
        case SM_CYFULLSCREEN: return m.cyFullScreen;
        default: return 0;
    }
}
