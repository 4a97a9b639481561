// The overlays are read back from the pixels they leave: red marks on a black
// picture, black labels on a white one.  A label is checked by rendering the
// expected text on its own at the expected anchor and comparing the text
// pixels around that anchor.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/core/types_c.h>
#include <opencv2/imgproc.hpp>

#include "station/Overlays.h"

namespace {

const cv::Vec3b kRed(0, 0, 255);
const cv::Vec3b kBlack(0, 0, 0);
const cv::Vec3b kWhite(255, 255, 255);

cv::Mat Picture(int w, int h, const cv::Vec3b& fill) { return cv::Mat(h, w, CV_8UC3, cv::Scalar(fill[0], fill[1], fill[2])); }

void Ruler(cv::Mat& m, int mag) {
    IplImage ipl = cvIplImage(m);
    DrawRuler(&ipl, mag);
}

void Graticule(cv::Mat& m, int mag) {
    IplImage ipl = cvIplImage(m);
    DrawGraticule(&ipl, mag);
}

std::set<int> RedColumns(const cv::Mat& m, int y, int x0 = 0, int x1 = -1) {
    if (x1 < 0) x1 = m.cols - 1;
    std::set<int> out;
    for (int x = x0; x <= x1; ++x)
        if (m.at<cv::Vec3b>(y, x) == kRed) out.insert(x);
    return out;
}

std::set<int> RedRows(const cv::Mat& m, int x, int y0 = 0, int y1 = -1) {
    if (y1 < 0) y1 = m.rows - 1;
    std::set<int> out;
    for (int y = y0; y <= y1; ++y)
        if (m.at<cv::Vec3b>(y, x) == kRed) out.insert(y);
    return out;
}

// Text of `colour` around the anchor (left end of the baseline) equals the
// expected text rendered alone there, and there is some.
::testing::AssertionResult TextAt(const cv::Mat& m, const std::string& text, int x, int y,
                                  const cv::Vec3b& colour, const cv::Vec3b& background) {
    cv::Mat ref = Picture(m.cols, m.rows, background);
    cv::putText(ref, text, cv::Point(x, y), cv::FONT_HERSHEY_SIMPLEX, 0.5,
                cv::Scalar(colour[0], colour[1], colour[2]), 1, cv::LINE_8);
    cv::Rect box = cv::Rect(x - 3, y - 18, 75, 25) & cv::Rect(0, 0, m.cols, m.rows);
    int textPixels = 0;
    for (int yy = box.y; yy < box.y + box.height; ++yy)
        for (int xx = box.x; xx < box.x + box.width; ++xx) {
            const bool want = ref.at<cv::Vec3b>(yy, xx) == colour;
            const bool got = m.at<cv::Vec3b>(yy, xx) == colour;
            if (want != got)
                return ::testing::AssertionFailure()
                       << "\"" << text << "\" at (" << x << ", " << y << "): pixel (" << xx << ", " << yy
                       << ") is " << (got ? "" : "not ") << "text";
            textPixels += want;
        }
    if (textPixels == 0) return ::testing::AssertionFailure() << "no text pixels for \"" << text << "\"";
    return ::testing::AssertionSuccess();
}

bool AnyOf(const cv::Mat& m, cv::Rect box, const cv::Vec3b& colour) {
    box &= cv::Rect(0, 0, m.cols, m.rows);
    for (int y = box.y; y < box.y + box.height; ++y)
        for (int x = box.x; x < box.x + box.width; ++x)
            if (m.at<cv::Vec3b>(y, x) == colour) return true;
    return false;
}

}  // namespace

TEST(RulerLabels, TextsOfBothMagnifications) {
    const std::vector<std::string> mag50 = {"1.54", "3.08", "4.62"};
    const std::vector<std::string> mag200 = {"0.52", "1.04", "1.55"};
    for (int k = 1; k <= 3; ++k) {
        EXPECT_EQ(RulerLabelText(100 * k, 0), mag50[k - 1]);
        EXPECT_EQ(RulerLabelText(100 * k, 1), mag200[k - 1]);
    }
    // The outermost labels of a full-view frame.
    EXPECT_EQ(RulerLabelText(600, 0), "9.23");
    EXPECT_EQ(RulerLabelText(300, 0), "4.62");
}

TEST(Ruler, LabelsOfA640x480FrameStandBelowAndRightOfTheAxes) {
    for (int mag : {0, 1}) {
        SCOPED_TRACE(mag);
        cv::Mat m = Picture(640, 480, kWhite);
        Ruler(m, mag);
        for (int k = 1; k <= 3; ++k) {
            const std::string text = RulerLabelText(100 * k, mag);
            EXPECT_TRUE(TextAt(m, text, 320 - 100 * k, 270, kBlack, kWhite));
            EXPECT_TRUE(TextAt(m, text, 320 + 100 * k, 270, kBlack, kWhite));
        }
        for (int k = 1; k <= 2; ++k) {
            const std::string text = RulerLabelText(100 * k, mag);
            EXPECT_TRUE(TextAt(m, text, 350, 240 - 100 * k, kBlack, kWhite));
            EXPECT_TRUE(TextAt(m, text, 350, 240 + 100 * k, kBlack, kWhite));
        }
        // Nothing above the horizontal axis or left of the vertical one is text.
        EXPECT_FALSE(AnyOf(m, cv::Rect(0, 200, 640, 35), kBlack));
        EXPECT_FALSE(AnyOf(m, cv::Rect(265, 0, 50, 480), kBlack));
    }
}

TEST(Ruler, FullViewFrameHasSixMajorTicksEachSideAndThreeUpAndDown) {
    cv::Mat m = Picture(1280, 720, kBlack);
    Ruler(m, 0);
    const int cx = 640, cy = 360;
    // Only major ticks reach 25 pixels off the axis; the centre line crosses too.
    std::set<int> columns = {cx};
    for (int k = 1; k <= 6; ++k) columns.insert({cx - 100 * k, cx + 100 * k});
    EXPECT_EQ(RedColumns(m, cy - 25), columns);
    EXPECT_EQ(RedColumns(m, cy + 25), columns);
    std::set<int> rows = {cy};
    for (int k = 1; k <= 3; ++k) rows.insert({cy - 100 * k, cy + 100 * k});
    EXPECT_EQ(RedRows(m, cx - 25), rows);
    EXPECT_EQ(RedRows(m, cx + 25), rows);
    // Ticks are 60 pixels long.
    std::set<int> tick;
    for (int y = cy - 30; y <= cy + 30; ++y) tick.insert(y);
    EXPECT_EQ(RedRows(m, cx - 600), tick);

    cv::Mat labels = Picture(1280, 720, kWhite);
    Ruler(labels, 0);
    EXPECT_TRUE(TextAt(labels, "9.23", 40, 390, kBlack, kWhite));
    EXPECT_TRUE(TextAt(labels, "9.23", 1240, 390, kBlack, kWhite));
    EXPECT_TRUE(TextAt(labels, "4.62", 670, 60, kBlack, kWhite));
    EXPECT_TRUE(TextAt(labels, "4.62", 670, 660, kBlack, kWhite));
}

TEST(Ruler, MinorTicksEvery10PixelsReachBothEdges) {
    for (cv::Size size : {cv::Size(640, 480), cv::Size(645, 483), cv::Size(101, 99), cv::Size(1280, 720)}) {
        SCOPED_TRACE(::testing::Message() << size.width << "x" << size.height);
        cv::Mat m = Picture(size.width, size.height, kBlack);
        Ruler(m, 1);
        const int cx = size.width / 2, cy = size.height / 2;
        std::set<int> columns, rows;
        for (int x = cx % 10; x < size.width; x += 10) columns.insert(x);
        for (int y = cy % 10; y < size.height; y += 10) rows.insert(y);
        EXPECT_EQ(RedColumns(m, cy - 5), columns);
        EXPECT_EQ(RedRows(m, cx - 5), rows);
        // Centre lines run across the whole frame.
        EXPECT_EQ(RedColumns(m, cy).size(), static_cast<size_t>(size.width));
        EXPECT_EQ(RedRows(m, cx).size(), static_cast<size_t>(size.height));
    }
}

TEST(Ruler, NarrowAndLowFramesMoveTheLabelsAcrossTheAxis) {
    // Narrow: no room right of the vertical axis, and no horizontal half-axis
    // reaches 100 pixels, so it gets no major tick and no label.
    cv::Mat narrow = Picture(150, 480, kWhite);
    Ruler(narrow, 0);
    EXPECT_EQ(RedColumns(narrow, 240 - 25), (std::set<int>{75}));
    EXPECT_TRUE(TextAt(narrow, "1.54", -5, 140, kBlack, kWhite));
    EXPECT_TRUE(TextAt(narrow, "1.54", -5, 340, kBlack, kWhite));
    EXPECT_TRUE(TextAt(narrow, "3.08", -5, 40, kBlack, kWhite));
    EXPECT_FALSE(AnyOf(narrow, cv::Rect(100, 0, 50, 480), kBlack));

    cv::Mat low = Picture(640, 150, kWhite);
    Ruler(low, 1);
    EXPECT_EQ(RedRows(low, 320 - 25), (std::set<int>{75}));
    for (int k = 1; k <= 3; ++k) {
        EXPECT_TRUE(TextAt(low, RulerLabelText(100 * k, 1), 320 - 100 * k, 35, kBlack, kWhite));
        EXPECT_TRUE(TextAt(low, RulerLabelText(100 * k, 1), 320 + 100 * k, 35, kBlack, kWhite));
    }
    EXPECT_FALSE(AnyOf(low, cv::Rect(0, 76, 640, 74), kBlack));
}

TEST(Overlays, UnknownMagnificationOrNoImageDrawsNothing) {
    cv::Mat m = Picture(640, 480, kBlack);
    Ruler(m, 2);
    Graticule(m, -1);
    EXPECT_EQ(cv::countNonZero(m.reshape(1)), 0);
    DrawRuler(nullptr, 0);
    DrawGraticule(nullptr, 0);
}

namespace {

struct GraticuleRow {
    int mag, step, n, radius, bar;
    const char* magText;
    int magX;
    const char* lengthText;
    int lengthX;
};

const GraticuleRow kRows[] = {
    {0, 41, 5, 225, 41, "50X", 47, "0.5mm", 40},
    {1, 66, 3, 221, 66, "200X", 50, "200um", 50},
};

// Red somewhere in the 3 x 3 pixels around (x, y).
bool RedNear(const cv::Mat& m, int x, int y) { return AnyOf(m, cv::Rect(x - 1, y - 1, 3, 3), kRed); }

}  // namespace

TEST(Graticule, TicksCircleBarAndTextsOfBothMagnifications) {
    for (const GraticuleRow& r : kRows) {
        SCOPED_TRACE(r.mag);
        cv::Mat m = Picture(640, 480, kBlack);
        Graticule(m, r.mag);

        // The centre lines cross every row and column looked at.
        std::set<int> all = {319}, longOnes = {319};
        for (int k = 1; k <= r.n; ++k)
            for (int p : {319 - k * r.step, 319 + k * r.step}) {
                all.insert(p);
                if (k % 2 == 0) longOnes.insert(p);
            }
        std::set<int> allY = {239}, longY = {239};
        for (int k = 1; k <= r.n; ++k)
            for (int p : {239 - k * r.step, 239 + k * r.step}) {
                allY.insert(p);
                if (k % 2 == 0) longY.insert(p);
            }
        // The circle crosses these rows and columns outside the ranges looked at.
        EXPECT_EQ(RedColumns(m, 236, 105, 535), all);
        EXPECT_EQ(RedColumns(m, 244, 105, 535), all);
        EXPECT_EQ(RedColumns(m, 231, 105, 535), longOnes);
        EXPECT_EQ(RedColumns(m, 245, 105, 535), longOnes);
        EXPECT_EQ(RedColumns(m, 228, 105, 535), std::set<int>{319});
        EXPECT_EQ(RedRows(m, 316, 25, 455), allY);
        EXPECT_EQ(RedRows(m, 311, 25, 455), longY);
        EXPECT_EQ(RedRows(m, 308, 25, 455), std::set<int>{239});

        // Circle: on it along the diagonals, clear a few pixels inside.
        const int d = static_cast<int>(r.radius / std::sqrt(2.0) + 0.5);
        for (int sx : {-1, 1})
            for (int sy : {-1, 1}) {
                EXPECT_TRUE(RedNear(m, 319 + sx * d, 239 + sy * d));
                EXPECT_FALSE(RedNear(m, 319 + sx * (d - 4), 239 + sy * (d - 4)));
            }

        // Scale bar between its end ticks.
        std::set<int> bar;
        for (int x = 40; x <= 40 + r.bar; ++x) bar.insert(x);
        EXPECT_EQ(RedColumns(m, 425, 0, 150), bar);
        std::set<int> endTick;
        for (int y = 420; y <= 430; ++y) endTick.insert(y);
        EXPECT_EQ(RedRows(m, 40, 415, 435), endTick);
        EXPECT_EQ(RedRows(m, 40 + r.bar, 415, 435), endTick);

        EXPECT_TRUE(TextAt(m, r.magText, r.magX, 450, kRed, kBlack));
        EXPECT_TRUE(TextAt(m, r.lengthText, r.lengthX, 410, kRed, kBlack));
    }
}

TEST(Graticule, CentreLinesFollowThePictureWhileTheRestStaysFixed) {
    cv::Mat big = Picture(1280, 720, kBlack);
    Graticule(big, 0);
    EXPECT_EQ(RedColumns(big, 359).size(), 1280u);
    EXPECT_EQ(RedRows(big, 639).size(), 720u);
    EXPECT_EQ(RedColumns(big, 236, 105, 535), (std::set<int>{114, 155, 196, 237, 278, 360, 401, 442, 483, 524}));
    EXPECT_TRUE(RedNear(big, 319 + 159, 239 - 159));
    EXPECT_TRUE(TextAt(big, "50X", 47, 450, kRed, kBlack));

    cv::Mat small = Picture(320, 240, kBlack);
    Graticule(small, 1);
    EXPECT_EQ(RedColumns(small, 119).size(), 320u);
    EXPECT_EQ(RedRows(small, 159).size(), 240u);
    EXPECT_EQ(RedColumns(small, 236, 105, 319), (std::set<int>{121, 159, 187, 253}));
}
