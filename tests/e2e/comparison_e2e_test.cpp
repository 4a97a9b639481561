// The comparison road through the whole program: skin comparison over the
// device's live picture, pen strokes drawn on it with the mouse, the save
// writing the comparison window with the strokes into the customer's folder
// (the guest's, for quick detection), and back leaving comparison mode.
#include <gtest/gtest.h>

#include <thread>

#include <opencv2/imgcodecs.hpp>

#include "Roads.h"
#include "compare/ComPareDlg.h"
#include "platform/ScreenMetrics.h"
#include "platform/ui/DialogTemplate.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// Whether a red pixel lies within 3 pixels of `p`.
bool RedNear(const cv::Mat& m, const wxPoint& p) {
    for (int dy = -3; dy <= 3; ++dy)
        for (int dx = -3; dx <= 3; ++dx) {
            const int x = p.x + dx, y = p.y + dy;
            if (x >= 0 && y >= 0 && x < m.cols && y < m.rows && IsRed(m.at<cv::Vec3b>(y, x))) return true;
        }
    return false;
}

// Points along the polyline through `points`, every few pixels.
std::vector<wxPoint> Along(const std::vector<wxPoint>& points) {
    std::vector<wxPoint> out;
    for (size_t i = 1; i < points.size(); ++i)
        for (int k = 0; k <= 10; ++k)
            out.push_back(points[i - 1] + wxPoint((points[i].x - points[i - 1].x) * k / 10,
                                                  (points[i].y - points[i - 1].y) * k / 10));
    return out;
}

// The station streaming the device's picture, for a guest; the comparison
// window where its layout puts it on the test display.
class ComparisonRoad : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim.Started());
        pid = StartQuickDetection(run, &failure);
        ASSERT_GT(pid, 0) << failure;
    }
    DeviceSim sim{{"--fps", "15"}, 240};
    ProgramRun run;
    std::string failure;
    pid_t pid = -1;
    const StationLayout& l = StationOnScreen();
    const CompareLayout c = ComputeCompareLayout(
        plat::ComputeScreenMetrics(wxRect(0, 0, kScreenWidth, kScreenHeight), wxRect(0, 0, kScreenWidth, kScreenHeight)),
        wxSize(1, 1));
    std::function<bool(const Geometry&)> isComparison = [this](const Geometry& g) {
        return g.width == c.window.width && g.height == c.window.height;
    };

    // The report form, opened over the comparison with the pen on, shuts the
    // comparison off and stays above it and the station whatever is clicked
    // or raised; once it goes, the comparison takes strokes again.
    void ReportFormOverTheComparison() {
        const auto station = FindStationWindow(pid);
        Click(l.skinCompare);
        const auto window = FindWindow(pid, isComparison, 10s);
        Click(l.fullView);  // the pen
        Click(l.report);
        const auto form = FindWindow(pid, [](const Geometry& g) { return wxSize(g.width, g.height) == plat::DluToPx(0, 0, 425, 509).GetSize(); }, 10s);
        ASSERT_TRUE(station && window && form);
        auto formOnTop = [&] {
            return StackedAbove(form->window, window->window) == true && StackedAbove(window->window, station->window) == true;
        };
        // A stroke across the comparison's picture beside the form; the
        // frames going on into the pane would show it.
        const cv::Rect beside(window->x + c.leftPane.x, window->y + c.leftPane.y, form->x - window->x - c.leftPane.x, c.leftPane.height);
        const cv::Rect across(beside.x + 10, beside.y + beside.height * 3 / 4, beside.width - 20, 20);
        auto stroke = [&] { DragThrough({across.x, across.y + 10}, {{across.br().x, across.y + 10}}); };
        stroke();
        const cv::Mat drawn = Screen(run)(beside).clone();
        ASSERT_TRUE(Within(5s, [&] { return cv::norm(Screen(run)(beside), drawn, cv::NORM_L1) > 0; }));
        EXPECT_EQ(RedPixels(Screen(run)(across)), 0) << "the comparison took a stroke under the form";
        EXPECT_TRUE(formOnTop()) << "after a click on the comparison";
        Shell("xdotool windowraise " + std::to_string(station->window));
        EXPECT_TRUE(Within(5s, formOnTop)) << "after the station was raised";
        ClickAt(form->Origin() + CentreOf(plat::DluToPx(337, 467, 50, 18)));  // its close button
        stroke();
        EXPECT_TRUE(Within(5s, [&] { return RedPixels(Screen(run)(across)) > 0; })) << "no stroke once the form went";
    }
};

TEST_F(ComparisonRoad, StrokesOnTheLivePictureAreSavedWithTheComparisonWindowAndBackLeavesIt) {
    // Skin comparison: its window lies over the station where its layout puts it.
    Click(l.skinCompare);
    const auto window = FindWindow(pid, isComparison, 10s);
    ASSERT_TRUE(window) << "no comparison window";
    EXPECT_EQ(window->Origin(), c.window.GetPosition());
    // The live picture in its left pane.
    const wxPoint pane = window->Origin() + c.leftPane.GetPosition();
    ASSERT_TRUE(Within(10s, [&] {
        const cv::Mat s = Screen(run);
        return !s.empty() && ShowsSimulatorPicture(s(cv::Rect(pane.x, pane.y, c.leftPane.width, c.leftPane.height)));
    }));

    // The pen (where the full-view button stands outside comparison), then a
    // stroke across the middle of the live picture, away from its red block.
    Click(l.fullView);
    std::this_thread::sleep_for(300ms);
    const int w = c.leftPane.width, h = c.leftPane.height;
    const std::vector<wxPoint> stroke = {{w * 3 / 10, h / 2}, {w / 2, h * 7 / 10}, {w * 7 / 10, h / 2}, {w * 6 / 10, h * 3 / 10}};
    std::vector<wxPoint> onScreen;
    for (const wxPoint& p : stroke) onScreen.push_back(pane + p);
    DragThrough(onScreen.front(), std::vector<wxPoint>(onScreen.begin() + 1, onScreen.end()));
    std::this_thread::sleep_for(500ms);

    // Save: the comparison window's client area, with the stroke on the live picture.
    const fs::path guest = run.Dir() / "Guests-Image" / "Guest";
    const auto before = FilesIn(guest, ".bmp");
    Click(l.save);
    const fs::path shot = AwaitNewFile(guest, ".bmp", before, 5s);
    ASSERT_FALSE(shot.empty()) << "no comparison screenshot in " << guest;
    const cv::Mat saved = cv::imread(shot.string(), cv::IMREAD_COLOR);
    ASSERT_EQ(saved.size(), cv::Size(c.window.width, c.window.height));
    int onStroke = 0;
    const auto path = Along(stroke);
    for (const wxPoint& p : path) onStroke += RedNear(saved, c.leftPane.GetPosition() + p);
    EXPECT_GT(onStroke, static_cast<int>(path.size()) * 9 / 10) << "the stroke is not in the screenshot";
    // Nothing red where no stroke was drawn (the lower right of the pane).
    const cv::Rect clear(c.leftPane.x + w * 3 / 4, c.leftPane.y + h * 3 / 4, w / 5, h / 5);
    EXPECT_EQ(RedPixels(saved(clear)), 0);

    // Back leaves comparison mode: its window goes and the view is live again.
    Click(BackButton());
    ASSERT_TRUE(Within(5s, [&] { return !WindowShown(pid, isComparison); })) << "the comparison window stays";
    EXPECT_TRUE(Within(5s, [&] { return ShowsSimulatorPicture(ViewOnScreen(run)); }));
    ASSERT_TRUE(FindStationWindow(pid, 1s)) << "back left the station";
    EXPECT_TRUE(run.Messages().empty()) << run.Messages().front();
}

TEST_F(ComparisonRoad, TheComparisonStaysOverTheStationForEveryCustomerOfTheDay) {
    const fs::path guest = run.Dir() / "Guests-Image" / "Guest";
    for (int customer = 1; customer <= 2; ++customer) {
        SCOPED_TRACE("customer " + std::to_string(customer));
        if (customer == 2) {
            ASSERT_TRUE(PressQuickDetection(run, pid, &failure)) << failure;
        }
        const auto station = FindStationWindow(pid);
        Click(customer == 1 ? l.skinCompare : l.hairCompare);
        const auto window = FindWindow(pid, isComparison, 10s);
        ASSERT_TRUE(station && window);
        const cv::Rect pane(window->x + c.leftPane.x, window->y + c.leftPane.y, c.leftPane.width, c.leftPane.height);
        const cv::Rect across(pane.x + pane.width / 4, pane.y + pane.height / 2 - 10, pane.width / 2, 20);
        auto stroke = [&] {  // until it shows on the screen
            DragThrough({across.x, across.y + 10}, {{across.x + across.width, across.y + 10}});
            return Within(5s, [&] { const cv::Mat s = Screen(run); return !s.empty() && RedPixels(s(across)) > 0; });
        };
        // The comparison takes strokes once it is up and showing the live
        // picture; on a loaded machine that can come well after it is mapped.
        ASSERT_TRUE(Within(10s, [&] { const cv::Mat s = Screen(run); return !s.empty() && ShowsSimulatorPicture(s(pane)); }));
        Click(l.fullView);  // the pen
        ASSERT_TRUE(stroke());
        // The eraser: the comparison's live picture shows again without the stroke.
        Click(l.scale);
        EXPECT_TRUE(Within(5s, [&] {
            const cv::Mat s = Screen(run);
            return !s.empty() && ShowsSimulatorPicture(s(pane)) && RedPixels(s(across)) == 0;
        })) << "the comparison's picture is not on the screen after Clear";
        EXPECT_EQ(StackedAbove(window->window, station->window), true) << "after Clear";
        ASSERT_TRUE(stroke());
        const auto before = FilesIn(guest, ".bmp");
        Click(l.save);
        EXPECT_FALSE(AwaitNewFile(guest, ".bmp", before, 5s).empty());
        EXPECT_EQ(StackedAbove(window->window, station->window), true) << "after Snapshot";
        // Whoever raises the station, the comparison comes back above it.
        Shell("xdotool windowraise " + std::to_string(station->window));
        EXPECT_TRUE(Within(5s, [&] { return StackedAbove(window->window, station->window) == true; }))
            << "after the station was raised";
        Click(BackButton());  // leaves the comparison, then the station
        ASSERT_TRUE(Within(5s, [&] { return !WindowShown(pid, isComparison); }));
        Click(BackButton());
        ASSERT_TRUE(Within(10s, [&] { return !FindStationWindow(pid, 0ms); }));
    }
}

TEST_F(ComparisonRoad, TheReportFormStaysOverTheComparisonWhichTakesNoStrokeMeanwhile) { ReportFormOverTheComparison(); }

// Under a window manager: the start page is minimised while the station runs;
// the report form as above; the station dragged by its title strip takes the
// comparison with it, and its minimise button minimises both.
class ComparisonRoadUnderAWindowManager : public ComparisonRoad {
    void SetUp() override {
        ASSERT_TRUE(wm.running);
        ComparisonRoad::SetUp();
    }
    WindowManager wm;
};

TEST_F(ComparisonRoadUnderAWindowManager, TheComparisonGoesWhereverTheStationGoesAndStaysUnderTheReportForm) {
    EXPECT_FALSE(FindStartPage(pid, 0ms)) << "the start page is not minimised";
    ReportFormOverTheComparison();
    DragThrough({300, 20}, {{240, 200}});  // its minimise button stays on the screen
    EXPECT_TRUE(Within(5s, [&] {  // the station has moved, the comparison where it belongs on it
        const auto s = FindStationWindow(pid, 0ms);
        const auto w = FindWindow(pid, isComparison, 0ms);
        return s && w && s->Origin() != wxPoint(0, 0) && w->Origin() == s->Origin() + c.window.GetPosition();
    })) << "after the drag";
    const auto now = FindStationWindow(pid);
    ASSERT_TRUE(now);
    ClickAt(now->Origin() + CentreOf(l.minimize));
    EXPECT_TRUE(Within(5s, [&] { return !FindStationWindow(pid, 0ms) && !WindowShown(pid, isComparison); }));
}

// The station dragged to the right: a comparison opened then reaches past the
// screen's edge, and sits on the station all the same.  The window manager's
// close of it (Alt+F4) leaves comparison mode as Back does: the live view,
// without strokes.
TEST_F(ComparisonRoadUnderAWindowManager, AComparisonPastTheScreenEdgeSitsOnTheStationAndItsCloseLeavesComparisonMode) {
    const wxPoint at(300, 0);
    DragThrough({300, 20}, {{450, 20}, at + wxPoint(300, 20)});
    ASSERT_TRUE(Within(5s, [&] { const auto s = FindStationWindow(pid, 0ms); return s && s->Origin() == at; }));
    ClickAt(at + CentreOf(l.skinCompare));
    std::optional<Geometry> window;
    EXPECT_TRUE(Within(10s, [&] {
        return (window = FindWindow(pid, isComparison, 0ms)) && window->Origin() == at + c.window.GetPosition();
    })) << "the comparison is not where the station puts it";
    ASSERT_TRUE(window) << "no comparison window";
    ClickAt(at + CentreOf(l.fullView));  // the pen, then a stroke across the live picture
    const cv::Rect across(at.x + c.window.x + c.leftPane.x + 50, at.y + c.window.y + c.leftPane.GetBottom() - 40, 200, 20);
    DragThrough({across.x, across.y + 10}, {{across.br().x, across.y + 10}});
    ASSERT_TRUE(Within(5s, [&] { const cv::Mat s = Screen(run); return !s.empty() && RedPixels(s(across)) > 0; }));

    ASSERT_TRUE(SendCloseRequest(window->window));
    const cv::Rect view(at.x + l.view.x, at.y + l.view.y, l.view.width, l.view.height);
    EXPECT_TRUE(Within(5s, [&] {
        const cv::Mat s = Screen(run);
        return !s.empty() && !WindowShown(pid, isComparison) && ShowsSimulatorPicture(s(view)) && RedPixels(s(across)) == 0;
    })) << "no live view";
}

}  // namespace
