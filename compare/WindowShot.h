#pragma once
// The comparison window's screenshot: its client area as it shows at this
// moment (both panes, strokes, radio buttons and background), written as a
// 32-bit BMP.
#include <opencv2/core.hpp>
#include <wx/string.h>

#include "platform/WinTypes.h"

class wxWindow;

// The client area of `win`, 8-bit B, G, R, 0 pixels, rows top-down, the
// client size.  Empty when the window is hidden or has no client area.
cv::Mat CopyWindowToBitmap(wxWindow* win);

// Writes the client area of `win` to `path` as an uncompressed 32-bit BMP
// (14-byte file header, 40-byte information header, rows bottom-up, no colour
// table), then starts the shutter sound.  When the window cannot be copied or
// the file cannot be written the operator is told, no sound plays, no partial
// file is left and the result is FALSE, so the caller keeps its previous last
// picture.  User-interface thread only.
BOOL SaveWindowAsBmp(wxWindow* win, const wxString& path);
