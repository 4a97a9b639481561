#include "station/StationLayout.h"

namespace {

// The height the taskbar takes from the window.  Only a panel along the top
// or bottom edge shortens the window: a panel standing along a side is as high
// as the screen and would leave the window no height at all.
int TaskbarHeight(const plat::ScreenMetrics& m) {
    if (!m.hasTaskbar || m.taskbar.IsEmpty()) return 0;
    if (m.taskbar.width < m.cxScreen) return 0;
    return m.taskbar.height;
}

}  // namespace

StationLayout ComputeStationLayout(const plat::ScreenMetrics& m, const StationLayoutInputs& in) {
    StationLayout l;
    const int W = m.cxScreen;
    const int S = m.cyScreen;
    const int H = m.cyFullScreen;

    l.window = wxRect(0, 0, W, S - TaskbarHeight(m));

    // A 4:3 view two thirds of the usable height, centred across the screen.
    const int wv = ((2 * H / 3) * 4) / 3;
    const int left = (W - wv) / 2;
    const int right = (W + wv) / 2;
    const int top = H / 12;
    const int bottom = (3 * H) / 4;
    l.view = wxRect(left, top, right - left, bottom - top);

    // The no-device picture centred in the view, the retry button right-aligned under it.
    const int w = in.noDevice.x;
    const int h = in.noDevice.y;
    const int x = (-w - left + right) / 2 + left;
    const int y = (-h - top + bottom) / 2 + top;
    l.noDevice = wxRect(x, y, w, h);
    l.retry = wxRect(x + w - 98, y + h, 98, 36);

    l.small = wxRect(2, 2, 145, 34);

    l.waiting = wxRect(((right - left) - in.waiting.x) / 2 + left, ((bottom - top) - in.waiting.y) / 2 + top,
                       400, 300);

    l.titleStrip = wxRect(0, 0, W - 76, 42);
    l.minimize = wxRect(W - 76, 0, 38, 38);
    l.close = wxRect(W - 38, 0, 38, 38);

    // Six 160-pixel buttons with 3g at each side and g between them.
    l.g = (W - 960) / 11;
    const int g = l.g;
    const int viewBottomOnScreen = bottom + in.clientTopOnScreen;
    l.v = (H - viewBottomOnScreen) / 6;
    const double rowTop = H - 2.5 * l.v;
    const int yRow = static_cast<int>(rowTop);
    const int yRowEnd = static_cast<int>(rowTop + 64.0);
    const int rowHeight = yRowEnd - yRow;
    l.files = wxRect(3 * g, yRow, 160, rowHeight);
    l.fullView = wxRect(4 * g + 160, yRow, 160, rowHeight);
    l.scale = wxRect(5 * g + 320, yRow, 160, rowHeight);
    l.save = wxRect(6 * g + 480, yRow, 160, rowHeight);
    l.freeze = wxRect(7 * g + 640, yRow, 160, rowHeight);
    l.report = wxRect(8 * g + 800, yRow, 160, rowHeight);

    const int y3 = H - 5 * l.v;
    l.skinCompare = wxRect(4 * g + 160, y3, 184, 44);
    l.hairCompare = wxRect(7 * g + 616, y3, 184, 44);

    l.scaleMenu = CornerOf(l.view, in.scaleMenu);
    return l;
}

wxRect ComputeFullViewRect(const wxRect& client) {
    const int W = client.width;
    const int A = client.height - 40;
    int wv, hv;
    if (static_cast<float>(A) / static_cast<float>(W) > 0.75f) {
        wv = W;
        hv = static_cast<int>(static_cast<float>(W) * 0.75f);
    } else {
        hv = A;
        // Slightly narrower than 4:3.  The product stays in single precision:
        // 1000 x 1.3f rounds to 1300 there, but is 1299.99995 widened to double.
        wv = static_cast<int>(static_cast<float>(A) * 1.3f);
    }
    return wxRect(client.x + (W - wv) / 2, client.y + 40 + (A - hv) / 2, wv, hv);
}

wxRect CornerOf(const wxRect& view, const wxSize& size) {
    // wxRect's right and bottom are inclusive; the corner is the view's far edge.
    const int right = view.x + view.width;
    const int bottom = view.y + view.height;
    return wxRect(right - size.x, bottom - size.y, size.x, size.y);
}

wxRect StationCaptionRect(int screenWidth, int language) {
    switch (language) {
        case 0:
        case 1: return wxRect((screenWidth - 200) / 2, 2, 240, 36);
        case 2:
        case 3: return wxRect((screenWidth - 280) / 2, 2, 280, 36);
        default: return wxRect();
    }
}
