#pragma once
// The two measuring overlays of the station window.  Both draw in place into
// an 8-bit, 3-channel B, G, R picture and are calibrated by the magnification
// index the operator picked (0 = 50X, 1 = 200X).  They keep no state between
// calls, so the ruler may run on a capture thread while the graticule runs on
// the user-interface thread.
#include <string>

#include <opencv2/core/types_c.h>

// Millimetres per pixel at a magnification index; 0 for an index the
// magnification menu never sets.
double RulerMillimetresPerPixel(int nMagnification);

// The text written beside the major tick lying `distance` pixels from the
// centre: the distance in millimetres with two decimals, no unit.
std::string RulerLabelText(int distance, int nMagnification);

// Ruler burnt into a live frame: red centre lines, a major tick with its
// length label every 100 pixels and a minor tick every 10 pixels from the
// centre, all following the frame's size.
void DrawRuler(IplImage* frame, int nMagnification);

// Graticule over the frozen picture: centre lines through the picture's
// centre, then ticks, circle, scale bar and texts laid out for a 640 x 480
// picture whatever the picture's size.
void DrawGraticule(IplImage* picture, int nMagnification);
