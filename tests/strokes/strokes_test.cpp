#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include <opencv2/core.hpp>

#include "compare/StrokeList.h"

namespace {

const cv::Vec3b kRed(0, 0, 255);
const cv::Vec3b kBlack(0, 0, 0);

cv::Mat Pane(int w = 200, int h = 150) { return cv::Mat(h, w, CV_8UC3, cv::Scalar::all(0)); }

int RedRowsInColumn(const cv::Mat& m, int x) {
    int n = 0;
    for (int y = 0; y < m.rows; ++y) n += m.at<cv::Vec3b>(y, x) == kRed;
    return n;
}

}  // namespace

TEST(StrokeList, The128thStrokeIsTheLastAndLaterMovesExtendIt) {
    CStrokeList list;
    for (int i = 0; i < 127; ++i) EXPECT_TRUE(list.BeginStroke(i, 0)) << i;
    EXPECT_FALSE(list.BeginStroke(127, 5));  // taken, but no room for another
    EXPECT_EQ(list.GetCount(), 128);

    EXPECT_FALSE(list.BeginStroke(500, 500));
    EXPECT_EQ(list.GetCount(), 128);
    list.AddPoint(128, 6);
    list.AddPoint(129, 7);
    EXPECT_EQ(list.GetStroke(127), (std::vector<cv::Point>{{127, 5}, {128, 6}, {129, 7}}));
    EXPECT_EQ(list.GetStroke(126), (std::vector<cv::Point>{{126, 0}}));
}

TEST(StrokeList, ClearDuringAStrokeStopsItUntilTheNextPress) {
    CStrokeList list;
    list.AddPoint(1, 1);  // no stroke yet
    EXPECT_EQ(list.GetCount(), 0);

    list.BeginStroke(10, 10);
    list.AddPoint(20, 10);
    list.BeginStroke(30, 30);
    list.Clear();
    list.AddPoint(40, 40);  // the button is still held: nothing
    EXPECT_EQ(list.GetCount(), 0);
    cv::Mat pane = Pane();
    list.Draw(pane);
    EXPECT_EQ(cv::countNonZero(pane.reshape(1)), 0);

    EXPECT_TRUE(list.BeginStroke(50, 50));
    list.AddPoint(60, 50);
    EXPECT_EQ(list.GetCount(), 1);
    EXPECT_EQ(list.GetStroke(0), (std::vector<cv::Point>{{50, 50}, {60, 50}}));
    EXPECT_TRUE(list.GetStroke(1).empty());
}

TEST(StrokeList, DrawsEachStrokeAsARedTwoPixelPolyline) {
    CStrokeList list;
    list.BeginStroke(20, 40);
    list.AddPoint(120, 40);
    list.AddPoint(120, 100);
    list.BeginStroke(150, 20);  // a click without a drag
    list.BeginStroke(10, 130);
    list.AddPoint(10, 130);  // no movement either

    cv::Mat pane = Pane();
    list.Draw(pane);
    // Along the horizontal segment the pen is two pixels wide and red.
    for (int x : {30, 70, 110}) EXPECT_EQ(RedRowsInColumn(pane, x), 2) << x;
    for (int x : {30, 70, 110}) EXPECT_EQ(pane.at<cv::Vec3b>(40, x), kRed) << x;
    // The vertical segment follows the second point.
    int wide = 0;
    for (int x = 115; x <= 125; ++x) wide += pane.at<cv::Vec3b>(70, x) == kRed;
    EXPECT_EQ(wide, 2);
    EXPECT_EQ(pane.at<cv::Vec3b>(70, 120), kRed);
    // Only red was drawn, and strokes never join each other.
    for (auto it = pane.begin<cv::Vec3b>(); it != pane.end<cv::Vec3b>(); ++it)
        ASSERT_TRUE(*it == kRed || *it == kBlack);
    EXPECT_EQ(cv::countNonZero(pane(cv::Rect(140, 10, 20, 20)).reshape(1)), 0);
    EXPECT_EQ(cv::countNonZero(pane(cv::Rect(0, 120, 20, 20)).reshape(1)), 0);
}

// The capture thread draws over every frame while the user-interface thread
// begins strokes, appends many points (moving the lists' storage) and clears.
TEST(StrokeList, DrawingWhileTheListChangesIsSafe) {
    CStrokeList list;
    std::atomic<bool> stop{false};
    std::atomic<int> frames{0};
    std::thread capture([&] {
        cv::Mat pane = Pane(320, 240);
        while (!stop) {
            pane.setTo(cv::Scalar::all(0));
            list.Draw(pane);
            ++frames;
            std::this_thread::yield();  // frames come one at a time
        }
    });

    for (int round = 0; round < 4; ++round) {
        for (int s = 0; s < 130; ++s) {
            list.BeginStroke(s % 320, s % 240);
            for (int p = 0; p < 40; ++p) list.AddPoint((s + p) % 320, (s * 3 + p) % 240);
        }
        list.Clear();
    }
    list.BeginStroke(0, 0);
    list.AddPoint(300, 0);
    // Let the drawing thread see the final state at least once.
    const int seen = frames.load();
    while (frames.load() < seen + 2) std::this_thread::yield();
    stop = true;
    capture.join();

    EXPECT_EQ(list.GetCount(), 1);
    cv::Mat pane = Pane(320, 240);
    list.Draw(pane);
    EXPECT_EQ(pane.at<cv::Vec3b>(0, 150), kRed);
}
