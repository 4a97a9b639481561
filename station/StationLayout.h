#pragma once
// Where the station window and its controls go on a given screen.  The
// computation depends only on the screen metrics and on the few sizes the
// controls bring with them, so it can be checked for any screen without a
// window.
#include <wx/gdicmn.h>

#include "platform/ScreenMetrics.h"

struct StationLayout {
    wxRect window;        // screen coordinates
    wxRect view;          // 1011; everything below is in client coordinates
    wxRect noDevice;      // 1023, 1024, 1025 and 1028
    wxRect retry;         // 1022
    wxRect small;         // 1036 (placed, then hidden)
    wxRect waiting;       // 1013
    wxRect titleStrip;    // 1007
    wxRect minimize;      // 1010
    wxRect close;         // 1009
    wxRect files;         // 1017
    wxRect fullView;      // 1001, and the pen 1016 in the same place
    wxRect scale;         // 1002, and the eraser 1008 in the same place
    wxRect save;          // 1003
    wxRect freeze;        // 1004
    wxRect report;        // 1014
    wxRect skinCompare;   // 1005
    wxRect hairCompare;   // 1006
    wxRect scaleMenu;     // 1027
    int g = 0;            // gap unit of the button row
    int v = 0;            // sixth of the space under the view
};

// What the layout needs besides the screen: the current sizes of the
// no-device picture, the waiting animation and the scale menu button, and how
// far the client area's top lies below the window's top on the screen (the
// window's border), since the button row is measured from the view's bottom
// edge in screen coordinates.
struct StationLayoutInputs {
    wxSize noDevice;
    wxSize waiting;
    wxSize scaleMenu;
    int clientTopOnScreen = 0;
};

StationLayout ComputeStationLayout(const plat::ScreenMetrics& metrics, const StationLayoutInputs& in);

// The live view 1011 in the full view, for the window's client rectangle: the
// area below a 40-pixel strip at the top, filled across at 4:3 when it is
// taller than that, else filled down at 1.3 times its height (both ratios in
// single precision, truncated); centred in the area.
wxRect ComputeFullViewRect(const wxRect& client);

// A control of `size` inside the lower right corner of `view`.
wxRect CornerOf(const wxRect& view, const wxSize& size);

// The caption 1035 for a language index: centred on the title strip for the
// screen width; an empty rectangle for an index without a built-in language.
wxRect StationCaptionRect(int screenWidth, int language);
