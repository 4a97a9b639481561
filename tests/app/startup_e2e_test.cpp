// The whole program under the test's X display: the start page with its
// background and three image buttons on screen, the single-instance guard,
// the image root folder, the missing-pack warning, Enter and Escape, and the
// ways the program ends, from the start page and from the station window.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <wx/image.h>
#include <wx/log.h>

#include "platform/Resources.h"
#include "support/ProgramRun.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

const int kButtonImages[] = {170, 171, 242};
const auto& kButtons = kStartPageButtons;

TEST(StartUp, StartPageShowsBackgroundAndThreeImageButtons) {
    ProgramRun station;
    // A folder that is already there is left as it is.
    fs::create_directories(station.Dir() / "Guests-Image" / "Alice");
    const pid_t pid = station.Start();
    ASSERT_GT(pid, 0);
    const auto page = FindStartPage(pid);
    ASSERT_TRUE(page) << "no start page on the display";
    EXPECT_TRUE(fs::is_directory(station.Dir() / "Guests-Image" / "Alice"));
    std::this_thread::sleep_for(700ms);  // let the buttons paint

    const wxImage shot = GrabScreen(fs::path(station.Home()) / "shot.png");
    ASSERT_TRUE(shot.IsOk());
    wxImage background;
    ASSERT_TRUE(plat::LoadResourceImage(271, plat::RT_BITMAP, background));
    background.Rescale(page->width, page->height, wxIMAGE_QUALITY_NEAREST);
    const wxPoint origin(page->x, page->y);

    // The background covers the client area (a patch left of the buttons).
    const wxRect patch(20, 20, 300, 200);
    EXPECT_LT(MeanDifference(shot, origin + patch.GetPosition(), background.GetSubImage(patch)), 6.0);

    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(kButtonImages[i]);
        wxImage png;
        ASSERT_TRUE(plat::LoadResourceImage(kButtonImages[i], plat::RT_PNG, png));
        const wxImage under = background.GetSubImage(kButtons[i]);
        const wxImage expected = Over(under, png);
        const double button = MeanDifference(shot, origin + kButtons[i].GetPosition(), expected);
        const double bare = MeanDifference(shot, origin + kButtons[i].GetPosition(), under);
        EXPECT_LT(button, 8.0) << "the button's picture is not on screen";
        // The picture stands out from the background it lies on.
        EXPECT_GT(bare, 3 * button + 10);
    }
    // The buttons differ from each other where they are drawn.
    EXPECT_GT(MeanDifference(shot, origin + kButtons[0].GetPosition(), shot.GetSubImage(wxRect(origin + kButtons[2].GetPosition(), kButtons[2].GetSize()))), 5.0);
}

TEST(StartUp, MakesTheImageRootBesideTheExecutable) {
    ProgramRun station;
    const pid_t pid = station.Start();
    ASSERT_TRUE(FindStartPage(pid));
    EXPECT_TRUE(fs::is_directory(station.Dir() / "Guests-Image"));
}

TEST(StartUp, SecondCopyReportsAndEndsWhileTheFirstRunsOn) {
    ProgramRun station;
    const pid_t first = station.Start();
    const auto page = FindStartPage(first);
    ASSERT_TRUE(page);

    const pid_t second = station.Start();
    const auto status = station.WaitExit(second, 15s);
    ASSERT_TRUE(status) << "the second copy did not end";
    EXPECT_TRUE(WIFEXITED(*status));
    EXPECT_EQ(WEXITSTATUS(*status), 0);
    // In the language pack's words, although no button has chosen the pack yet.
    const std::string running = "程序已在运行。";
    EXPECT_EQ(station.Messages(), std::vector<std::string>{running});

    EXPECT_TRUE(Alive(first));
    const auto still = FindStartPage(first, 2s);
    ASSERT_TRUE(still);
    EXPECT_EQ(still->window, page->window);

    // The copy that gave up leaves the first one's guard in place: a third
    // start, by another user (another home) from the same folder, whose
    // database and customer folders the first one writes, is turned away
    // just the same.
    fs::create_directories(station.Dir().parent_path() / "other-home");
    station.SetEnv("HOME", (station.Dir().parent_path() / "other-home").string());
    const pid_t third = station.Start();
    const auto thirdStatus = station.WaitExit(third, 15s);
    ASSERT_TRUE(thirdStatus) << "the third copy did not end";
    EXPECT_TRUE(WIFEXITED(*thirdStatus));
    EXPECT_EQ(station.Messages(),
              (std::vector<std::string>{running, running}));
    EXPECT_TRUE(Alive(first));
}

TEST(StartUp, ExitButtonEndsTheProgramWithCodeZero) {
    ProgramRun station;
    const pid_t pid = station.Start();
    const auto page = FindStartPage(pid);
    ASSERT_TRUE(page);
    std::this_thread::sleep_for(300ms);
    const wxPoint centre = wxPoint(page->x, page->y) + kButtons[2].GetPosition() +
                           wxSize(kButtons[2].width / 2, kButtons[2].height / 2);
    Shell("xdotool mousemove " + std::to_string(centre.x) + " " + std::to_string(centre.y) + " click 1");
    const auto status = station.WaitExit(pid, 10s);
    ASSERT_TRUE(status) << "the exit button did not end the program";
    EXPECT_TRUE(WIFEXITED(*status));
    EXPECT_EQ(WEXITSTATUS(*status), 0);
    EXPECT_TRUE(station.Messages().empty());
    // No guard outlives the program: a lock naming its process id would keep
    // out every later start once another process carries that id.
    EXPECT_FALSE(fs::exists(station.Home() / "PreventSecondInstance"));
}

TEST(StartUp, EnterAndEscapeLeaveTheStartPageOpenAndACloseRequestEndsWithCodeZero) {
    ProgramRun station;
    const pid_t pid = station.Start();
    const auto page = FindStartPage(pid);
    ASSERT_TRUE(page);
    const std::string id = std::to_string(page->window);
    Shell("xdotool windowfocus --sync " + id + " key --window " + id + " Return Escape KP_Enter");
    std::this_thread::sleep_for(800ms);
    EXPECT_TRUE(Alive(pid));
    EXPECT_TRUE(FindStartPage(pid, 1s));

    // The start page's run ends: the program ends normally.
    ASSERT_TRUE(SendCloseRequest(page->window));
    const auto status = station.WaitExit(pid, 10s);
    ASSERT_TRUE(status) << "a close request did not end the program";
    EXPECT_TRUE(WIFEXITED(*status)) << "signal " << WTERMSIG(*status) << "\n" << station.OutputText();
    EXPECT_EQ(WEXITSTATUS(*status), 0);
}

TEST(StartUp, MissingLanguagePackWarnsInTheIndexLanguageAndGoesOn) {
    ProgramRun station({.languagePack = false});
    std::ofstream(station.Dir() / "Setup.ini") << "[setup]\r\nlanguage=2\r\n";
    const pid_t pid = station.Start();
    const auto page = FindStartPage(pid);
    ASSERT_TRUE(page);
    ClickStartPageButton(*page, 1);
    const auto end = std::chrono::steady_clock::now() + 5s;
    while (station.Messages().empty() && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(50ms);
    EXPECT_EQ(station.Messages(),
              std::vector<std::string>{"Language packs is missing, Please reinstall the Program!"});
    EXPECT_TRUE(Alive(pid));
}

TEST(StartUp, TheStationWindowsCloseButtonEndsTheProgramWithCodeZero) {
    ProgramRun station;
    const pid_t pid = station.Start();
    const auto page = FindStartPage(pid);
    ASSERT_TRUE(page);
    ClickStartPageButton(*page, 1);
    const auto main = FindStationWindow(pid);
    ASSERT_TRUE(main) << "no station window";
    std::this_thread::sleep_for(1500ms);  // past the camera start
    ClickAt(wxPoint(main->x + main->width - 19, main->y + 19));  // the close button ends the title strip
    const auto status = station.WaitExit(pid, 10s);
    ASSERT_TRUE(status) << "the program did not end";
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << station.OutputText();
    EXPECT_FALSE(fs::exists(station.Home() / "PreventSecondInstance"));
}

}  // namespace
