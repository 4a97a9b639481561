// The device road through the whole program (the test build whose USB camera
// is a fake one plugged in and out from here): the networked device goes and
// the no-device picture and the retry button show; it comes back and retry
// brings its stream back; a USB camera plugged in while the device streams
// leaves the device the source, and once the device has gone a camera plugged
// in takes the view; unplugged, the station waits for the device again; a
// stalled stream does not keep the back button from returning to the start
// page within a few seconds.
#include <gtest/gtest.h>

#include <fstream>
#include <thread>

#include <wx/image.h>

#include "Roads.h"
#include "platform/Resources.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

class DeviceRoad : public ::testing::Test {
protected:
    DeviceRoad() : run({.executable = "quillmarsh_fakeusb"}) {
        fs::create_directories(UsbFolder());
        run.SetEnv("QUILLMARSH_FAKE_USB", UsbFolder().string());
    }
    fs::path UsbFolder() const { return run.Scratch() / "usb"; }
    void PlugUsbCamera(bool in) {
        if (in)
            std::ofstream(UsbFolder() / "plugged") << "1";
        else
            fs::remove(UsbFolder() / "plugged");
    }
    // A simulator on the test's ports (the same ports each time: the one
    // before must have gone).
    std::unique_ptr<DeviceSim> Device(std::vector<std::string> args = {}) {
        args.insert(args.end(), {"--fps", "15"});
        auto sim = std::make_unique<DeviceSim>(args, 240);
        EXPECT_TRUE(sim->Started());
        return sim;
    }
    // The no-device picture where the layout puts it, and the retry button under it.
    bool NoDeviceShown() {
        const wxImage shot = GrabScreen(run.Scratch() / "shot.png");
        wxImage picture;
        if (!shot.IsOk() || !plat::LoadResourceImage(kNoDevicePicture, plat::RT_BITMAP, picture)) return false;
        const StationLayout& l = StationOnScreen();
        wxImage retry;
        if (!plat::LoadResourceImage(164, plat::RT_PNG, retry)) return false;
        const wxImage underRetry = shot.GetSubImage(l.retry);
        return MeanDifference(shot, l.noDevice.GetPosition(), picture) < 8.0 &&
               // The retry button's picture over what lies under it: it shows where its alpha is full.
               MeanDifference(shot, l.retry.GetPosition(), Over(underRetry, retry)) < 8.0 &&
               RedPixels(ViewOnScreen(run)) < 50;
    }
    // The waiting animation plays where the layout puts it (its frames change).
    bool Waiting() {
        const wxRect w = StationOnScreen().waiting;
        const cv::Rect r(w.x, w.y, w.width, w.height);
        const cv::Mat first = Screen(run);
        if (first.empty() || ShowsFakeUsbPicture(first(r)) || ShowsSimulatorPicture(first(r))) return false;
        for (int i = 0; i < 8; ++i) {
            std::this_thread::sleep_for(250ms);
            const cv::Mat next = Screen(run);
            if (!next.empty() && cv::norm(first(r), next(r), cv::NORM_L1) > 0) return true;
        }
        return false;
    }

    ProgramRun run;
};

TEST_F(DeviceRoad, TheDeviceGoesAndComesBackAUsbCameraComesAndGoesAndBackLeavesAStalledStream) {
    auto sim = Device();
    std::string failure;
    const pid_t pid = StartQuickDetection(run, &failure);
    ASSERT_GT(pid, 0) << failure;

    // The device goes: after two failed probes, the no-device picture and retry.
    sim.reset();
    ASSERT_TRUE(Within(10s, [&] { return NoDeviceShown(); }));

    // It comes back; retry finds it and its stream is live again.
    sim = Device();
    Click(StationOnScreen().retry);
    ASSERT_TRUE(Within(15s, [&] { return ShowsSimulatorPicture(ViewOnScreen(run)); }));

    // A USB camera plugged in while the device streams: a source is active,
    // so the device's stream stays in the view.
    PlugUsbCamera(true);
    std::this_thread::sleep_for(2s);
    EXPECT_TRUE(ShowsSimulatorPicture(ViewOnScreen(run)));

    // The device goes (no-device picture); the camera, plugged in again, opens
    // as the source, and the no-device picture and retry button go.
    sim.reset();
    ASSERT_TRUE(Within(10s, [&] { return NoDeviceShown(); }));
    PlugUsbCamera(false);
    std::this_thread::sleep_for(500ms);
    PlugUsbCamera(true);
    ASSERT_TRUE(Within(10s, [&] { return ShowsFakeUsbPicture(ViewOnScreen(run)); }));
    EXPECT_FALSE(NoDeviceShown());

    // Unplugged: back to waiting, looking for the device again (which now
    // answers but never greets, so the station keeps waiting).
    sim.reset();
    sim = Device({"--silent"});
    PlugUsbCamera(false);
    ASSERT_TRUE(Within(10s, [&] { return Waiting(); }));
    std::this_thread::sleep_for(2s);
    EXPECT_TRUE(Waiting());

    // The device greets again: found without the operator doing anything.
    sim.reset();
    sim = Device();
    ASSERT_TRUE(Within(15s, [&] { return ShowsSimulatorPicture(ViewOnScreen(run)); }));

    // The stream stalls; back returns to the start page within a few seconds.
    sim->Command("stall");
    std::this_thread::sleep_for(1500ms);
    Click(BackButton());
    const auto start = std::chrono::steady_clock::now();
    auto isStation = [](const Geometry& g) { return g.width > 1000; };
    auto isStartPage = [](const Geometry& g) { return g.width == 720; };
    ASSERT_TRUE(Within(6s, [&] { return !WindowShown(pid, isStation) && WindowShown(pid, isStartPage); }))
        << "not back on the start page";
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_TRUE(run.Messages().empty()) << run.Messages().front();
}

}  // namespace
