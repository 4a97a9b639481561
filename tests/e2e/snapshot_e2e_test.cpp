// The snapshot road through the whole program: quick detection, the device
// simulator's stream live in the view, the scale on, 200X chosen in the
// magnification menu with the pointer, a snapshot with the 200X ruler in it,
// back to 50X, freeze, the graticule redrawn at 200X and back at 50X, the
// report saved as a Word 97 document beside the snapshot with the snapshot
// in it, the file manager started by Files holding no descriptor of the
// station, and back on the start page with no button lit.
#include <fcntl.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <thread>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "Roads.h"
#include "support/FakeLauncher.h"
#include "platform/ui/DialogTemplate.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// The report form (425 x 509 dialog units) and its Save and Close buttons.
bool IsReportForm(const Geometry& g) { return g.width == plat::DluToPxX(425) && g.height > 700; }
const wxRect kReportSave = plat::DluToPx(37, 467, 50, 18);
const wxRect kReportClose = plat::DluToPx(337, 467, 50, 18);

// The picture a Word document holds, read back by LibreOffice: the document
// converted to Office Open XML, whose pictures lie apart in its archive.
cv::Mat PictureInDocument(const fs::path& doc, const fs::path& scratch) {
    const fs::path out = scratch / "readback";
    fs::create_directories(out);
    Shell("soffice --headless -env:UserInstallation=file://" + (out / "profile").string() +
          " --convert-to docx --outdir '" + out.string() + "' '" + doc.string() + "' >/dev/null 2>&1");
    const fs::path docx = out / (doc.stem().string() + ".docx");
    Shell("unzip -o -q '" + docx.string() + "' 'word/media/*' -d '" + out.string() + "' 2>/dev/null");
    for (const fs::path& p : FilesIn(out / "word" / "media", ".png")) return cv::imread(p.string(), cv::IMREAD_COLOR);
    for (const fs::path& p : FilesIn(out / "word" / "media", ".jpeg")) return cv::imread(p.string(), cv::IMREAD_COLOR);
    return cv::Mat();
}

TEST(SnapshotRoad, ALiveFrameWithTheRulerOfTheChosenMagnificationIsSavedAndTheReportHoldsIt) {
    DeviceSim sim({"--size", "640x480", "--fps", "15"}, 240);
    ASSERT_TRUE(sim.Started());
    FakeLauncher launcher;
    ProgramRun run;
    // The device is found and its stream shows in the view, upright.
    std::string failure;
    cv::Mat unlitQuickDetection;
    const pid_t pid = StartQuickDetection(run, &failure, &unlitQuickDetection);
    ASSERT_GT(pid, 0) << failure;
    const StationLayout& l = StationOnScreen();

    // The scale: the ruler is drawn into the live picture, at 50X.
    Click(l.scale);
    ASSERT_TRUE(Within(5s, [&] {
        const cv::Mat view = ViewOnScreen(run);
        return CarriesRuler(view) && ShowsRulerAt(view, 0);
    }));

    // 200X from the magnification menu: the live ruler's marks follow.
    ASSERT_TRUE(ChooseMagnification(run, pid, 1, &failure)) << failure;
    EXPECT_TRUE(Within(5s, [&] { return ShowsRulerAt(ViewOnScreen(run), 1); }));

    // Save: a BMP in the guest's folder, the frame as the camera gave it,
    // with the ruler of 200X.
    const fs::path guest = run.Dir() / "Guests-Image" / "Guest";
    const auto before = FilesIn(guest, ".bmp");
    Click(l.save);
    const fs::path snapshot = AwaitNewFile(guest, ".bmp", before, 5s);
    ASSERT_FALSE(snapshot.empty()) << "no snapshot in " << guest;
    EXPECT_TRUE(std::regex_match(snapshot.filename().string(), std::regex(R"(\d{14}\.bmp)")));
    const cv::Mat saved = cv::imread(snapshot.string(), cv::IMREAD_COLOR);
    ASSERT_FALSE(saved.empty());
    EXPECT_EQ(saved.size(), cv::Size(640, 480));
    EXPECT_TRUE(ShowsSimulatorPicture(saved));
    EXPECT_TRUE(ShowsRulerAt(saved, 1));

    // Back to 50X, live.
    ASSERT_TRUE(ChooseMagnification(run, pid, 0, &failure)) << failure;
    EXPECT_TRUE(Within(5s, [&] { return ShowsRulerAt(ViewOnScreen(run), 0); }));

    // Freeze: the view keeps one picture while the stream goes on.
    Click(l.freeze);
    std::this_thread::sleep_for(500ms);
    const cv::Mat frozen = ViewOnScreen(run);
    std::this_thread::sleep_for(800ms);
    const cv::Mat later = ViewOnScreen(run);
    ASSERT_FALSE(frozen.empty());
    EXPECT_EQ(cv::norm(frozen, later, cv::NORM_L1), 0.0) << "the view still changes";
    EXPECT_TRUE(ShowsGraticuleAt(frozen, 0));

    // Frozen, a choice redraws the picture at once with its graticule; 50X
    // again gives back the very picture of before.
    ASSERT_TRUE(ChooseMagnification(run, pid, 1, &failure)) << failure;
    EXPECT_TRUE(Within(5s, [&] { return ShowsGraticuleAt(ViewOnScreen(run), 1); }));
    ASSERT_TRUE(ChooseMagnification(run, pid, 0, &failure)) << failure;
    EXPECT_TRUE(Within(5s, [&] {
        const cv::Mat view = ViewOnScreen(run);
        return !view.empty() && cv::norm(view, frozen, cv::NORM_L1) == 0;
    })) << "the 50X picture does not come back";

    // The report: its Save writes a Word 97 document beside the snapshot,
    // holding the snapshot.
    Click(l.report);
    const auto form = FindWindow(pid, IsReportForm, 10s);
    ASSERT_TRUE(form) << "no report form";
    std::this_thread::sleep_for(500ms);
    ClickAt(form->Origin() + CentreOf(kReportSave));
    const fs::path doc = AwaitNewFile(guest, ".doc", {}, 90s);
    ASSERT_FALSE(doc.empty()) << "no report document; messages: "
                              << (run.Messages().empty() ? "" : run.Messages().back());
    EXPECT_TRUE(std::regex_match(doc.filename().string(), std::regex(R"(\d{8}-\d{6}\.doc)")));
    std::ifstream in(doc, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(bytes.rfind("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 0), 0u) << "not a Word 97 compound file";
    cv::Mat stored = PictureInDocument(doc, run.Scratch());
    ASSERT_FALSE(stored.empty()) << "no picture in the document";
    cv::resize(stored, stored, saved.size(), 0, 0, cv::INTER_AREA);
    EXPECT_LT(cv::norm(stored, saved, cv::NORM_L1) / (saved.total() * 3), 12.0) << "another picture";

    ClickAt(form->Origin() + CentreOf(kReportClose));
    EXPECT_TRUE(Within(5s, [&] { return !WindowShown(pid, IsReportForm); }));

    // Files: the file manager inherits nothing of the station (its lock
    // files, its sockets), which keeps nothing another program could inherit.
    Click(l.files);
    ASSERT_FALSE(launcher.Opened().empty()) << "no file manager started";
    EXPECT_EQ(launcher.Descriptors(), "0 1 2 3");
    const fs::path proc = "/proc/" + std::to_string(pid);
    for (const auto& e : fs::directory_iterator(proc / "fdinfo")) {
        std::ifstream info(e.path());
        std::string pos, at, key, flags;  // "pos: 0 flags: 02000002 ..."
        EXPECT_TRUE(!(info >> pos >> at >> key >> flags) || std::stoi(e.path().filename()) <= 2 ||
                    (std::stoul(flags, nullptr, 8) & O_CLOEXEC))
            << "not close-on-exec: " << fs::read_symlink(proc / "fd" / e.path().filename());
    }

    // Back on the start page, the quick-detection button pressed on the way
    // in is no longer lit: the station took the pointer from it.
    Click(BackButton());
    const auto page = FindStartPage(pid, 10s);
    ASSERT_TRUE(page) << "not back on the start page";
    EXPECT_TRUE(Within(5s, [&] {
        const cv::Mat button = StartPageButtonOnScreen(run, *page, 1);
        return !button.empty() && !WindowShown(pid, [](const Geometry& g) { return g.width > 1000; }) &&
               cv::norm(button, unlitQuickDetection, cv::NORM_L1) == 0;
    })) << "the quick-detection button stays lit";
    EXPECT_TRUE(run.Messages().empty()) << run.Messages().front();
}

}  // namespace
