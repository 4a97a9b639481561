// The network stream reader against the simulator's MJPEG stream on 127.0.0.1.
#include <gtest/gtest.h>

#include <filesystem>
#include <mutex>

#include "support/DeviceSim.h"
#include "app/QuillmarshApp.h"
#include "capture/DeviceMessages.h"
#include "capture/FrameSink.h"
#include "capture/NetStreamReader.h"
#include "platform/CvCompat.h"

using namespace std::chrono_literals;

namespace {

// What reached the sink: the count, and corners of the last frame.
struct SinkLog {
    std::mutex mutex;
    int frames = 0;
    int width = 0, height = 0;
    cv::Vec3b first, last;  // first and last pixel of the last frame
    int readyBeforeFirstFrame = -1;
};

bool IsRed(cv::Vec3b p) { return p[2] > 200 && p[1] < 60 && p[0] < 60; }

class Reader : public ::testing::Test {
protected:
    void SetUp() override {
        theApp.m_bNetCamera = 1;
        theApp.m_bUsbCamera = 0;
        TestDevicePorts();
        SetFrameSink([this](IplImage* frame) {
            std::lock_guard<std::mutex> lock(log.mutex);
            if (log.frames == 0) log.readyBeforeFirstFrame = ready.load();
            ++log.frames;
            log.width = frame->width;
            log.height = frame->height;
            cv::Mat m = cv::cvarrToMat(frame);
            log.first = m.at<cv::Vec3b>(0, 0);
            log.last = m.at<cv::Vec3b>(m.rows - 1, m.cols - 1);
        });
    }
    void TearDown() override {
        SetFrameSink(nullptr);
        plat::SetCaptureTimeouts(5000, 5000);
        theApp.m_bNetCamera = 0;
        theApp.m_bUsbCamera = 0;
    }
    // The window the reader reports to.
    CNetStreamReader::WindowSender Window() {
        return [this](UINT msg, WPARAM w, LPARAM l) -> LRESULT {
            EXPECT_EQ(msg, WM_CAMERA_READY);
            EXPECT_EQ(w, 0u);
            EXPECT_EQ(l, 1);
            ++ready;
            return 0;
        };
    }
    int Frames() {
        std::lock_guard<std::mutex> lock(log.mutex);
        return log.frames;
    }

    std::atomic<int> ready{0};
    SinkLog log;
};

TEST_F(Reader, FramesReachTheSinkTurnedHalfWayRound) {
    DeviceSim sim({"--size", "640x480", "--fps", "20"});
    ASSERT_TRUE(sim.Started());
    CNetStreamReader reader(Window());
    reader.Start();
    ASSERT_TRUE(WaitUntil([&] { return Frames() >= 3; }, 8s));
    EXPECT_EQ(ready, 1);
    EXPECT_EQ(log.readyBeforeFirstFrame, 1);
    {
        std::lock_guard<std::mutex> lock(log.mutex);
        EXPECT_EQ(log.width, 640);
        EXPECT_EQ(log.height, 480);
        // The simulator streams its picture upside down: the red block at the
        // stream's bottom right, the gradient brightest at its top left.
        // Turned, the frame starts with the stream's last pixel (the block)
        // and ends with its first.
        EXPECT_TRUE(IsRed(log.first)) << log.first;
        EXPECT_FALSE(IsRed(log.last)) << log.last;
        EXPECT_NEAR(log.last[0], 179, 12);
        EXPECT_NEAR(log.last[1], 179, 12);
        EXPECT_NEAR(log.last[2], 40, 12);
    }

    // The network flag cleared while a USB camera is open: frames go on, unturned.
    theApp.m_bUsbCamera = 1;
    theApp.m_bNetCamera = 0;
    const int before = Frames();
    ASSERT_TRUE(WaitUntil([&] {
        std::lock_guard<std::mutex> lock(log.mutex);
        return log.frames >= before + 3 && IsRed(log.last);
    }, 5s));
    EXPECT_FALSE(reader.HasEnded());

    // Stop while streaming: the thread ends after its current query and the
    // capture is released.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(reader.Stop());
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_TRUE(reader.HasEnded());
    EXPECT_EQ(reader.m_pCapture, nullptr);
    const int after = Frames();
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(Frames(), after);
}

TEST_F(Reader, FramesASinkWouldDropArePassedOverAndTheStreamFlowsOn) {
    std::atomic<bool> takes{true};
    FrameSinkFn count = [this](IplImage* frame) {
        std::lock_guard<std::mutex> lock(log.mutex);
        ++log.frames;
        log.width = frame->width;
    };
    SetFrameSink(count, [&] { return takes.load(); });
    DeviceSim sim({"--fps", "20"});
    ASSERT_TRUE(sim.Started());
    CNetStreamReader reader(Window());
    reader.Start();
    ASSERT_TRUE(WaitUntil([&] { return Frames() >= 2; }, 8s));
    takes = false;
    std::this_thread::sleep_for(100ms);
    const int before = Frames();
    std::this_thread::sleep_for(1500ms);
    EXPECT_EQ(Frames(), before);
    takes = true;
    EXPECT_TRUE(WaitUntil([&] { return Frames() >= before + 3; }, 1s));
    EXPECT_EQ(sim.CountOutput("stream opened"), 1) << "passing frames over is not a broken stream";
    EXPECT_TRUE(reader.Stop());
}

TEST_F(Reader, BothFlagsClearedEndTheReaderByItself) {
    DeviceSim sim({"--fps", "20"});
    ASSERT_TRUE(sim.Started());
    CNetStreamReader reader(Window());
    reader.Start();
    ASSERT_TRUE(WaitUntil([&] { return Frames() >= 1; }, 8s));
    theApp.m_bNetCamera = 0;
    ASSERT_TRUE(WaitUntil([&] { return reader.HasEnded(); }, 2s));
    EXPECT_EQ(reader.m_pCapture, nullptr);
    EXPECT_TRUE(reader.Stop());
}

TEST_F(Reader, NoFlagOrNoStreamEndsTheThreadWithoutAMessage) {
    {
        // Network flag clear at the start: the stream is not even asked for.
        DeviceSim sim({});
        ASSERT_TRUE(sim.Started());
        theApp.m_bNetCamera = 0;
        CNetStreamReader reader(Window());
        reader.Start();
        ASSERT_TRUE(WaitUntil([&] { return reader.HasEnded(); }, 1s));
        std::this_thread::sleep_for(200ms);
        EXPECT_EQ(sim.CountOutput("stream opened"), 0);
    }
    {
        // The device does not serve the stream.
        DeviceSim sim({"--no-stream"});
        ASSERT_TRUE(sim.Started());
        theApp.m_bNetCamera = 1;
        CNetStreamReader reader(Window());
        reader.Start();
        ASSERT_TRUE(WaitUntil([&] { return reader.HasEnded(); }, 7s));
    }
    EXPECT_EQ(ready, 0);
    EXPECT_EQ(Frames(), 0);
}

TEST_F(Reader, AClosedStreamIsOpenedAgainAndFramesFlowOn) {
    DeviceSim sim({"--fps", "20", "--close-stream-after", "4"});
    ASSERT_TRUE(sim.Started());
    CNetStreamReader reader(Window());
    reader.Start();
    ASSERT_TRUE(WaitUntil([&] { return Frames() >= 13; }, 10s)) << Frames();
    EXPECT_GE(sim.CountOutput("stream opened"), 4);
    EXPECT_EQ(ready, 1) << "the ready message belongs to the reader, not to each connection";
    EXPECT_TRUE(reader.Stop());
}

TEST_F(Reader, PicturesComeBackAfterAStallAndAtANewSize) {
    DeviceSim sim({"--fps", "20"});
    ASSERT_TRUE(sim.Started());
    CNetStreamReader reader(Window());
    reader.Start();
    ASSERT_TRUE(WaitUntil([&] { return Frames() >= 3; }, 8s));

    // Longer than the read time-out: the stalled connection is given up and
    // the device is asked again until it serves.
    sim.Command("stall");
    std::this_thread::sleep_for(7s);
    const int stalled = Frames();
    sim.Command("resume");
    EXPECT_TRUE(WaitUntil([&] { return Frames() >= stalled + 3; }, 2500ms));

    sim.Command("size 1280x720");
    ASSERT_TRUE(WaitUntil([&] {
        std::lock_guard<std::mutex> lock(log.mutex);
        return log.width == 1280 && log.height == 720;
    }, 2s));
    const int resized = Frames();
    EXPECT_TRUE(WaitUntil([&] { return Frames() >= resized + 3; }, 2s));
    {
        std::lock_guard<std::mutex> lock(log.mutex);
        EXPECT_TRUE(IsRed(log.first)) << "still turned: " << log.first;
    }
    EXPECT_EQ(ready, 1);
    EXPECT_TRUE(reader.Stop());
}

// Entries of a /proc/self folder: the process's threads or open files.
int Entries(const char* folder) {
    int n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(folder)) ++n;
    return n;
}

TEST_F(Reader, ASilentDeviceIsAskedAgainWithoutSpinningOrLeakingAndStopsWithinTheTimeOut) {
    plat::SetCaptureTimeouts(1000, 1000);
    DeviceSim sim({"--fps", "20", "--stall-after", "3"});
    ASSERT_TRUE(sim.Started());
    auto reader = std::make_unique<CNetStreamReader>(Window());
    reader->Start();
    ASSERT_TRUE(WaitUntil([&] { return Frames() >= 3; }, 8s));
    // Each new connection gets the stream's header and then nothing.
    ASSERT_TRUE(sim.WaitForOutput("stream opened", 3, 8s));
    const int threads = Entries("/proc/self/task"), files = Entries("/proc/self/fd");
    const int opened = sim.CountOutput("stream opened");
    const std::clock_t cpu0 = std::clock();
    std::this_thread::sleep_for(4s);
    const double cpuSeconds = double(std::clock() - cpu0) / CLOCKS_PER_SEC;
    EXPECT_LT(cpuSeconds, 0.3);
    EXPECT_GE(sim.CountOutput("stream opened"), opened + 2);
    EXPECT_LE(Entries("/proc/self/task"), threads);
    EXPECT_LE(Entries("/proc/self/fd"), files);

    // Stopped while it waits for the device to answer an open.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(reader->Stop(3s));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1500ms);
    reader.reset();
    EXPECT_EQ(Frames(), 3);
}

TEST_F(Reader, StoppingAStalledStreamReturnsWithinTheBoundOrTheReadTimeOut) {
    // The capture's own time-outs as the program runs with them.
    DeviceSim sim({"--fps", "20", "--stall-after", "4"});
    ASSERT_TRUE(sim.Started());
    auto reader = std::make_unique<CNetStreamReader>(Window());
    reader->Start();
    ASSERT_TRUE(WaitUntil([&] { return Frames() >= 4; }, 8s));
    std::this_thread::sleep_for(300ms);  // the next query now waits on the stalled stream
    // A short bound gives up while the query waits; the reader stays usable.
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(reader->Stop(1s));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1500ms);
    EXPECT_FALSE(reader->HasEnded());
    // The query gives up within the read time-out and the thread ends.
    start = std::chrono::steady_clock::now();
    EXPECT_TRUE(reader->Stop());
    EXPECT_LT(std::chrono::steady_clock::now() - start, 6s);
    EXPECT_EQ(reader->m_pCapture, nullptr);
    reader.reset();
    EXPECT_EQ(Frames(), 4);
}

TEST_F(Reader, AReaderLetGoOnAStalledStreamDeletesItselfWhenItsQueryReturns) {
    // The window's way: stop within a bound and delete.  The stalled query
    // outlasts the bound, so the reader is left to its thread, which releases
    // the capture (the device sees the stream closed) and frees the reader
    // (a leak check of the sanitizer build finds it otherwise).
    DeviceSim sim({"--fps", "20", "--stall-after", "2"});
    ASSERT_TRUE(sim.Started());
    auto* reader = new CNetStreamReader(Window());
    reader->Start();
    ASSERT_TRUE(WaitUntil([&] { return Frames() >= 2; }, 8s));
    std::this_thread::sleep_for(300ms);
    const auto start = std::chrono::steady_clock::now();
    CNetStreamReader::StopAndDelete(reader, 500ms);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_EQ(sim.CountOutput("stream closed"), 0);
    ASSERT_TRUE(sim.WaitForOutput("stream closed", 1, 7s));
    std::this_thread::sleep_for(200ms);  // the thread's last steps after the release
    EXPECT_EQ(Frames(), 2);
}

}  // namespace
