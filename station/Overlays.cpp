#include "station/Overlays.h"

#include <cstdio>

#include <opencv2/core/core_c.h>
#include <opencv2/imgproc/imgproc_c.h>

namespace {

// Calibration of the optics, millimetres per camera pixel.
constexpr double kMillimetresPerPixel[] = {0.01538426, 0.00518135};
constexpr int kMagnifications = 2;

bool IsKnownMagnification(int n) { return n >= 0 && n < kMagnifications; }

// Colours in B, G, R order.
CvScalar Red() { return cvScalar(0, 0, 255, 0); }
CvScalar Black() { return cvScalar(0, 0, 0, 0); }

CvFont MakeFont() {
    CvFont font;
    cvInitFont(&font, CV_FONT_HERSHEY_SIMPLEX, 0.5, 0.5, 0, 1, 8);
    return font;
}

void Line(IplImage* img, int x1, int y1, int x2, int y2) {
    cvLine(img, cvPoint(x1, y1), cvPoint(x2, y2), Red(), 1, 8, 0);
}

// One row of the graticule per magnification; the layout is fixed to a
// 640 x 480 picture centred on (319, 239).
struct GraticuleRow {
    int step;       // pixels between ticks
    int ticks;      // ticks per half-axis
    int radius;     // of the circle
    int bar;        // length of the scale bar
    const char* magText;
    int magX;
    const char* lengthText;
    int lengthX;
};

constexpr GraticuleRow kGraticule[kMagnifications] = {
    {41, 5, 225, 41, "50X", 47, "0.5mm", 40},
    {66, 3, 221, 66, "200X", 50, "200um", 50},
};

constexpr int kGratCx = 319;
constexpr int kGratCy = 239;

}  // namespace

double RulerMillimetresPerPixel(int nMagnification) {
    return IsKnownMagnification(nMagnification) ? kMillimetresPerPixel[nMagnification] : 0.0;
}

std::string RulerLabelText(int distance, int nMagnification) {
    char buf[256];
    std::snprintf(buf, sizeof buf, "%.2f", distance * RulerMillimetresPerPixel(nMagnification));
    return buf;
}

void DrawRuler(IplImage* frame, int nMagnification) {
    // An index the menu never sets has no calibration; a ruler with made-up
    // lengths would mislead, so nothing is drawn.
    if (frame == nullptr || !IsKnownMagnification(nMagnification)) return;

    const CvFont font = MakeFont();
    const int w = frame->width;
    const int h = frame->height;
    const int cx = w / 2;
    const int cy = h / 2;

    Line(frame, 0, cy, w, cy);
    Line(frame, cx, 0, cx, h);

    // Labels move to the other side of an axis when the frame is too small to
    // hold them below or to the right of it.
    const int labelY = cy > h - 100 ? cy - 40 : cy + 30;
    const int labelX = cx > w - 100 ? cx - 80 : cx + 30;

    auto label = [&](int distance, int x, int y) {
        const std::string text = RulerLabelText(distance, nMagnification);
        cvPutText(frame, text.c_str(), cvPoint(x, y), &font, Black());
    };

    for (int k = 1; k <= cx / 100; ++k) {
        const int x = cx - 100 * k;
        Line(frame, x, cy - 30, x, cy + 30);
        label(100 * k, x, labelY);
    }
    for (int k = 1; k <= (w - cx) / 100; ++k) {
        const int x = cx + 100 * k;
        Line(frame, x, cy - 30, x, cy + 30);
        label(100 * k, x, labelY);
    }
    for (int k = 1; k <= cy / 100; ++k) {
        const int y = cy - 100 * k;
        Line(frame, cx - 30, y, cx + 30, y);
        label(100 * k, labelX, y);
    }
    for (int k = 1; k <= (h - cy) / 100; ++k) {
        const int y = cy + 100 * k;
        Line(frame, cx - 30, y, cx + 30, y);
        label(100 * k, labelX, y);
    }

    // Each run goes one step past the edge; the line drawing clips it.
    for (int k = 1; k <= cx / 10 + 1; ++k) Line(frame, cx - 10 * k, cy - 10, cx - 10 * k, cy + 10);
    for (int k = 1; k <= (w - cx) / 10 + 1; ++k) Line(frame, cx + 10 * k, cy - 10, cx + 10 * k, cy + 10);
    for (int k = 1; k <= cy / 10 + 1; ++k) Line(frame, cx - 10, cy - 10 * k, cx + 10, cy - 10 * k);
    for (int k = 1; k <= (h - cy) / 10 + 1; ++k) Line(frame, cx - 10, cy + 10 * k, cx + 10, cy + 10 * k);
}

void DrawGraticule(IplImage* picture, int nMagnification) {
    if (picture == nullptr || !IsKnownMagnification(nMagnification)) return;

    const CvFont font = MakeFont();
    const GraticuleRow& row = kGraticule[nMagnification];
    const int w = picture->width;
    const int h = picture->height;

    Line(picture, 0, h / 2 - 1, w - 1, h / 2 - 1);
    Line(picture, w / 2 - 1, 0, w / 2 - 1, h - 1);

    // Every second tick is long.
    auto horizontalAxisTick = [&](int x, int k) {
        const int half = k % 2 == 0 ? 10 : 5;
        Line(picture, x, kGratCy - half, x, kGratCy + half);
    };
    auto verticalAxisTick = [&](int y, int k) {
        const int half = k % 2 == 0 ? 10 : 5;
        Line(picture, kGratCx - half, y, kGratCx + half, y);
    };
    for (int k = 1; k <= row.ticks; ++k) horizontalAxisTick(kGratCx - k * row.step, k);
    for (int k = 1; k <= row.ticks; ++k) horizontalAxisTick(kGratCx + k * row.step, k);
    for (int k = 1; k <= row.ticks; ++k) verticalAxisTick(kGratCy - k * row.step, k);
    for (int k = 1; k <= row.ticks; ++k) verticalAxisTick(kGratCy + k * row.step, k);

    cvCircle(picture, cvPoint(kGratCx, kGratCy), row.radius, Red(), 1, 8, 0);

    const int barEnd = 40 + row.bar;
    Line(picture, 40, 420, 40, 430);
    Line(picture, barEnd, 420, barEnd, 430);
    Line(picture, 40, 425, barEnd, 425);

    cvPutText(picture, row.magText, cvPoint(row.magX, 450), &font, Red());
    cvPutText(picture, row.lengthText, cvPoint(row.lengthX, 410), &font, Red());
}
