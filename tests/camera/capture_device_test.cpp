// The USB capture graph run against the fake camera: device listing, formats,
// the graph's states, frames reaching the sink and the camera's button.
#include <gtest/gtest.h>
#include <linux/input.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <opencv2/imgcodecs.hpp>
#include <thread>

#include "support/FakeCamera.h"
#include "capture/CaptureDevice.h"
#include "capture/FrameSink.h"

namespace {

using namespace std::chrono_literals;

struct Frame {
    int width, height, channels, depth, step;
    std::vector<std::uint8_t> bytes;
    std::uint8_t At(int x, int y, int c) const { return bytes[static_cast<std::size_t>(y) * step + x * 3 + c]; }
};

// Registers itself as the frame sink and still handler for the test's lifetime.
class Recorder {
public:
    Recorder() {
        SetFrameSink([this](IplImage* img) {
            Frame f{img->width, img->height, img->nChannels, img->depth, img->widthStep, {}};
            f.bytes.assign(img->imageData, img->imageData + static_cast<std::size_t>(img->widthStep) * img->height);
            std::lock_guard<std::mutex> lock(m_lock);
            m_frames.push_back(std::move(f));
            m_cv.notify_all();
        });
        SetStillHandler([this] {
            std::lock_guard<std::mutex> lock(m_lock);
            ++m_stills;
            m_cv.notify_all();
        });
    }
    ~Recorder() {
        SetFrameSink(nullptr);
        SetStillHandler(nullptr);
    }
    bool WaitFrames(std::size_t n) {
        std::unique_lock<std::mutex> lock(m_lock);
        return m_cv.wait_for(lock, 5s, [&] { return m_frames.size() >= n; });
    }
    bool WaitStills(int n) {
        std::unique_lock<std::mutex> lock(m_lock);
        return m_cv.wait_for(lock, 5s, [&] { return m_stills >= n; });
    }
    std::vector<Frame> Frames() {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_frames;
    }
    int Stills() {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_stills;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_cv;
    std::vector<Frame> m_frames;
    int m_stills = 0;
};

std::string Pid(int i) {
    std::wstring w = g_szSupportedCameras[i];
    return std::string(w.begin(), w.end());
}

plat::cam::VideoNodeInfo Node(const std::string& devnode, const std::string& pid, const std::string& input = "") {
    return {devnode, "0c45", pid, input};
}

// A camera offering YUY2 and MJPG at two sizes and RGB24 at one, currently MJPG.
fake::VideoNode& AddMicroscope(fake::Install& fx, const std::string& devnode, const std::string& input = "") {
    fake::VideoNode& n = fx.kernel->AddVideo(devnode);
    n.card = "USB Microscope";
    n.formats = {{V4L2_PIX_FMT_MJPEG, {{640, 480}, {1280, 720}}},
                 {V4L2_PIX_FMT_YUYV, {{640, 480}, {1280, 720}}},
                 {V4L2_PIX_FMT_RGB24, {{320, 240}}}};
    n.curFormat = V4L2_PIX_FMT_MJPEG;
    n.curW = 640;
    n.curH = 480;
    fx.catalog->nodes.push_back(Node(devnode, Pid(0), input));
    if (!input.empty()) fx.kernel->AddInput(input);
    return n;
}

// Narrows a camera to one format at one size, which it is set to.
void OfferOnly(fake::VideoNode& n, std::uint32_t pixelformat, std::uint32_t w, std::uint32_t h) {
    n.formats = {{pixelformat, {{w, h}}}};
    n.curFormat = pixelformat;
    n.curW = w;
    n.curH = h;
}

CCaptureDevice* OpenFirst(const FormatEntry* requested = nullptr) {
    int index = -1;
    std::vector<DeviceEntry> devices = EnumVideoDevices(&index);
    if (devices.empty()) return nullptr;
    CCaptureDevice* dev = CCaptureDevice::Create(nullptr, nullptr, devices[0].displayName, 0x8001, requested);
    if (dev && dev->Open() != S_OK) {
        dev->Destroy();
        return nullptr;
    }
    return dev;
}

template <class Pred>
bool Eventually(Pred p) {
    for (int i = 0; i < 500; ++i) {
        if (p()) return true;
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

}  // namespace

TEST(CameraList, SupportedCamerasAroundAnUnsupportedOneAndTheLastPosition) {
    fake::Install fx;
    for (const char* n : {"/dev/video0", "/dev/video2", "/dev/video3"}) {
        fake::VideoNode& v = fx.kernel->AddVideo(n);
        v.card = std::string("cam ") + n;
        v.formats = {{V4L2_PIX_FMT_YUYV, {{640, 480}}}};
    }
    std::string upper = Pid(1);
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    // The second node of a UVC camera carries metadata: same USB ids, no video
    // capture.  Such nodes are no video inputs and take no position.
    fx.kernel->AddVideo("/dev/video1").capture = false;
    fx.kernel->AddVideo("/dev/video4").capture = false;
    fx.catalog->nodes = {Node("/dev/video0", Pid(0)), Node("/dev/video1", Pid(0)), Node("/dev/video2", "ffff"),
                         Node("/dev/video3", upper), Node("/dev/video4", upper)};

    int index = -1;
    std::vector<DeviceEntry> devices = EnumVideoDevices(&index);
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0].displayName, L"usb#vid_0c45&pid_" + std::wstring(g_szSupportedCameras[0]) + L"#/dev/video0");
    EXPECT_EQ(devices[0].friendlyName, L"cam /dev/video0");
    EXPECT_EQ(devices[1].friendlyName, L"cam /dev/video3");
    EXPECT_EQ(index, 2);  // video inputs 0 (supported), 1 (unsupported), 2 (supported)
    EXPECT_EQ(fx.kernel->OpenCount("/dev/video1"), 0);  // every probe let go of its node

    fx.catalog->nodes = {Node("/dev/video1", "ffff")};
    index = -1;
    EXPECT_TRUE(EnumVideoDevices(&index).empty());
    EXPECT_EQ(index, -1);
}

TEST(CameraList, ProductIdRule) {
    const std::wstring id = g_szSupportedCameras[2];
    std::wstring upper = id;
    for (auto& c : upper) c = static_cast<wchar_t>(std::towupper(c));
    EXPECT_TRUE(IsSupportedCamera(L"usb#vid_0c45&pid_" + upper + L"#/dev/video0"));
    EXPECT_TRUE(IsSupportedCamera(L"usb#vid_0c45&pid-" + id + L"&mi_00"));
    EXPECT_FALSE(IsSupportedCamera(L"usb#vid_0c45&PID_" + id));          // "pid" is looked for as written
    EXPECT_FALSE(IsSupportedCamera(L"usb#vid_0c45&pid_" + id.substr(0, 2)));  // name ends too soon
    EXPECT_TRUE(IsSupportedCamera(L"abc" + id + L"xyz"));                // no "pid": characters 4 to 7
    EXPECT_FALSE(IsSupportedCamera(L"usb#vid_0c45&pid_ffff#/dev/video0"));
    EXPECT_FALSE(IsSupportedCamera(L""));
}

TEST(CaptureFormats, CapacityOrderNamesAndUnknownSubtypes) {
    fake::Install fx;
    fake::VideoNode& n = AddMicroscope(fx, "/dev/video0");
    n.formats.push_back({V4L2_PIX_FMT_NV12, {{640, 480}}});
    CCaptureDevice* dev = OpenFirst();
    ASSERT_NE(dev, nullptr);

    FormatEntry all[50];
    int count = -1;
    dev->EnumFormats(all, 50, &count);
    ASSERT_EQ(count, 6);
    EXPECT_EQ(all[0].name, "MJPG");
    EXPECT_EQ(all[1].width, 1280);
    EXPECT_EQ(all[1].height, 720);
    EXPECT_EQ(all[2].name, "YUY2");
    EXPECT_TRUE(all[2].subtype == MEDIASUBTYPE_YUY2);
    EXPECT_EQ(all[4].name, "RGB24");
    EXPECT_EQ(all[5].name, "");
    EXPECT_FALSE(all[5].subtype == GUID_NULL);

    FormatEntry few[3];
    dev->EnumFormats(few, 3, &count);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(few[2].name, "YUY2");
    dev->Destroy();
}

TEST(CaptureGraph, OpenAsksForYuy2AndReopensAPreviewingGraph) {
    fake::Install fx;
    AddMicroscope(fx, "/dev/video0");
    CCaptureDevice* dev = OpenFirst();
    ASSERT_NE(dev, nullptr);
    std::uint32_t w, h;
    EXPECT_EQ(fx.kernel->CurrentFormat("/dev/video0", &w, &h), V4L2_PIX_FMT_YUYV);
    EXPECT_EQ(w, 640u);
    int cw = 0, ch = 0;
    GUID st = GUID_NULL;
    EXPECT_TRUE(dev->GetCurrentFormat(&cw, &ch, &st));
    EXPECT_EQ(cw, 640);
    EXPECT_EQ(ch, 480);
    EXPECT_TRUE(st == MEDIASUBTYPE_YUY2);
    EXPECT_TRUE(dev->IsPreviewing());
    EXPECT_TRUE(fx.kernel->Streaming("/dev/video0"));

    EXPECT_EQ(dev->Open(), S_OK);
    EXPECT_TRUE(dev->IsPreviewing());
    EXPECT_TRUE(dev->IsGraphBuilt());
    EXPECT_TRUE(fx.kernel->Streaming("/dev/video0"));
    EXPECT_EQ(fx.kernel->OpenCount("/dev/video0"), 1);  // the old source let go of the node
    EXPECT_EQ(dev->Graph()->Filters().size(), 3u);      // source, grabber, renderer: nothing left over

    Recorder rec;
    fx.kernel->PushFrame("/dev/video0", fake::Yuy2Frame(640, 480, [](int, int) -> std::uint8_t { return 235; }));
    EXPECT_TRUE(rec.WaitFrames(1));

    dev->Destroy();
    EXPECT_EQ(fx.kernel->OpenCount("/dev/video0"), 0);
    EXPECT_EQ(fx.kernel->Mapped("/dev/video0"), 0);
}

TEST(CaptureGraph, RequestedSizeAndARefusedRequest) {
    fake::Install fx;
    AddMicroscope(fx, "/dev/video0");
    FormatEntry wide;
    wide.width = 1280;
    wide.height = 720;
    wide.subtype = MEDIASUBTYPE_YUY2;
    CCaptureDevice* dev = OpenFirst(&wide);
    ASSERT_NE(dev, nullptr);
    std::uint32_t w, h;
    EXPECT_EQ(fx.kernel->CurrentFormat("/dev/video0", &w, &h), V4L2_PIX_FMT_YUYV);
    EXPECT_EQ(w, 1280u);
    EXPECT_EQ(h, 720u);
    dev->Destroy();

    // A size the camera lacks is refused and the camera keeps its default
    // format, not the one the previous opening left on it.
    FormatEntry odd = wide;
    odd.width = 1000;
    odd.height = 1000;
    dev = OpenFirst(&odd);
    ASSERT_NE(dev, nullptr);
    EXPECT_EQ(fx.kernel->CurrentFormat("/dev/video0", &w, &h), V4L2_PIX_FMT_MJPEG);
    EXPECT_EQ(w, 640u);
    dev->Destroy();
}

TEST(CaptureGraph, WithoutARequestTheCameraStreamsAtItsDefaultSize) {
    fake::Install fx;
    fake::VideoNode& n = AddMicroscope(fx, "/dev/video0");
    // Left at its widest by an earlier opening (the full view, or another program).
    n.curFormat = V4L2_PIX_FMT_YUYV;
    n.curW = 1280;
    n.curH = 720;
    Recorder rec;
    CCaptureDevice* dev = OpenFirst();
    ASSERT_NE(dev, nullptr);
    int cw = 0, ch = 0;
    EXPECT_TRUE(dev->GetCurrentFormat(&cw, &ch, nullptr));
    EXPECT_EQ(cw, 640);
    EXPECT_EQ(ch, 480);
    std::uint32_t w, h;
    EXPECT_EQ(fx.kernel->CurrentFormat("/dev/video0", &w, &h), V4L2_PIX_FMT_YUYV);
    EXPECT_EQ(w, 640u);
    EXPECT_EQ(h, 480u);
    fx.kernel->PushFrame("/dev/video0", fake::Yuy2Frame(640, 480, [](int, int) -> std::uint8_t { return 128; }));
    ASSERT_TRUE(rec.WaitFrames(1));
    EXPECT_EQ(rec.Frames()[0].width, 640);
    dev->Destroy();
}

TEST(CaptureGraph, AGraphThatCannotRun) {
    fake::Install fx;
    AddMicroscope(fx, "/dev/video0", "/dev/input/event5").refuseStreamOn = true;
    int index = -1;
    auto devices = EnumVideoDevices(&index);
    ASSERT_EQ(devices.size(), 1u);
    CCaptureDevice* dev = CCaptureDevice::Create(nullptr, nullptr, devices[0].displayName, 0x8001, nullptr);
    ASSERT_NE(dev, nullptr);
    EXPECT_EQ(dev->Open(), E_FAIL);
    EXPECT_FALSE(dev->IsPreviewing());
    EXPECT_EQ(fx.kernel->Mapped("/dev/video0"), 0);
    EXPECT_EQ(fx.kernel->OpenCount("/dev/input/event5"), 0);  // the still branch did not start either
    dev->Destroy();
    EXPECT_EQ(fx.kernel->OpenCount("/dev/video0"), 0);

    EXPECT_EQ(CCaptureDevice::Create(nullptr, nullptr, L"usb#vid_0c45&pid_6366", 0x8001, nullptr), nullptr);
    fx.catalog->nodes = {Node("/dev/video9", Pid(0))};  // listed, but the node has gone
    dev = CCaptureDevice::Create(nullptr, nullptr, L"usb#vid_0c45&pid_6366#/dev/video9", 0x8001, nullptr);
    ASSERT_NE(dev, nullptr);
    EXPECT_TRUE(FAILED(dev->Open()));
    dev->Destroy();
}

TEST(CaptureFrames, Yuy2ReachesTheSinkTopDown) {
    fake::Install fx;
    OfferOnly(AddMicroscope(fx, "/dev/video0"), V4L2_PIX_FMT_YUYV, 4, 2);
    Recorder rec;
    CCaptureDevice* dev = OpenFirst();
    ASSERT_NE(dev, nullptr);
    // First row black, second white: the first row of the buffer is the top of the picture.
    fx.kernel->PushFrame("/dev/video0", fake::Yuy2Frame(4, 2, [](int, int y) -> std::uint8_t { return y ? 235 : 16; }));
    ASSERT_TRUE(rec.WaitFrames(1));
    Frame f = rec.Frames()[0];
    EXPECT_EQ(f.width, 4);
    EXPECT_EQ(f.height, 2);
    EXPECT_EQ(f.channels, 3);
    EXPECT_EQ(f.depth, IPL_DEPTH_8U);
    EXPECT_EQ(f.step, 12);
    for (int x = 0; x < 4; ++x) {
        EXPECT_EQ(f.At(x, 0, 0), 0);
        EXPECT_EQ(f.At(x, 1, 2), 255);
    }
    dev->Destroy();
}

TEST(CaptureFrames, Rgb24ReachesTheSinkAsBgrTopDown) {
    fake::Install fx;
    OfferOnly(AddMicroscope(fx, "/dev/video0"), V4L2_PIX_FMT_RGB24, 6, 3);  // 18 bytes a row: not a multiple of 4
    Recorder rec;
    CCaptureDevice* dev = OpenFirst();
    ASSERT_NE(dev, nullptr);
    fx.kernel->PushFrame("/dev/video0", fake::Rgb24Frame(6, 3, 10, 20, 30, /*markRow=*/0));
    ASSERT_TRUE(rec.WaitFrames(1));
    Frame f = rec.Frames()[0];
    EXPECT_EQ(f.step, 18);
    EXPECT_EQ(f.At(5, 0, 0), 255);  // the marked top row stays on top
    for (int y = 1; y < 3; ++y) {
        EXPECT_EQ(f.At(2, y, 0), 30);
        EXPECT_EQ(f.At(2, y, 1), 20);
        EXPECT_EQ(f.At(2, y, 2), 10);
    }
    dev->Destroy();
}

TEST(CaptureFrames, MjpgIsDecodedAndAForeignSizedOneDropped) {
    fake::Install fx;
    OfferOnly(AddMicroscope(fx, "/dev/video0"), V4L2_PIX_FMT_MJPEG, 64, 48);
    Recorder rec;
    CCaptureDevice* dev = OpenFirst();
    ASSERT_NE(dev, nullptr);

    auto jpeg = [](int w, int h, cv::Scalar bgr) {
        cv::Mat m(h, w, CV_8UC3, bgr);
        m.rowRange(0, 8).setTo(cv::Scalar(255, 255, 255));
        std::vector<std::uint8_t> out;
        cv::imencode(".jpg", m, out, {cv::IMWRITE_JPEG_QUALITY, 95});
        return out;
    };
    fx.kernel->PushFrame("/dev/video0", jpeg(128, 96, cv::Scalar(0, 0, 200)));  // larger than the buffer
    fx.kernel->PushFrame("/dev/video0", jpeg(32, 24, cv::Scalar(0, 0, 200)));   // smaller
    fx.kernel->PushFrame("/dev/video0", jpeg(64, 48, cv::Scalar(200, 0, 0)));
    ASSERT_TRUE(rec.WaitFrames(1));
    std::this_thread::sleep_for(100ms);
    std::vector<Frame> frames = rec.Frames();
    ASSERT_EQ(frames.size(), 1u);
    const Frame& f = frames[0];
    EXPECT_EQ(f.width, 64);
    EXPECT_GT(f.At(30, 2, 0), 240);  // white band on top
    EXPECT_GT(f.At(30, 40, 0), 180);  // blue below
    EXPECT_LT(f.At(30, 40, 2), 40);
    dev->Destroy();
}

TEST(CaptureFrames, FramesNotMatchingTheGraphSizeAreDropped) {
    fake::Install fx;
    OfferOnly(AddMicroscope(fx, "/dev/video0"), V4L2_PIX_FMT_YUYV, 8, 4);
    Recorder rec;
    CCaptureDevice* dev = OpenFirst();
    ASSERT_NE(dev, nullptr);
    auto grey = [](int, int) -> std::uint8_t { return 100; };
    auto white = [](int, int) -> std::uint8_t { return 235; };
    std::vector<std::uint8_t> torn = fake::Yuy2Frame(8, 4, grey);
    torn.resize(torn.size() / 2);
    fx.kernel->PushFrame("/dev/video0", torn);
    fx.kernel->PushFrame("/dev/video0", fake::Yuy2Frame(8, 4, white));
    ASSERT_TRUE(rec.WaitFrames(1));

    // The pin now reports a larger size than the graph was built for.
    fx.kernel->SetReportedSize("/dev/video0", 16, 8);
    int handled = fx.kernel->Requeued("/dev/video0");
    fx.kernel->PushFrame("/dev/video0", fake::Yuy2Frame(8, 4, grey));
    ASSERT_TRUE(Eventually([&] { return fx.kernel->Requeued("/dev/video0") > handled; }));
    fx.kernel->SetReportedSize("/dev/video0", 0, 0);
    fx.kernel->PushFrame("/dev/video0", fake::Yuy2Frame(8, 4, white));
    ASSERT_TRUE(rec.WaitFrames(2));
    std::this_thread::sleep_for(50ms);
    std::vector<Frame> frames = rec.Frames();
    ASSERT_EQ(frames.size(), 2u);
    for (const Frame& f : frames) EXPECT_EQ(f.At(3, 3, 1), 255);
    dev->Destroy();
}

TEST(CaptureStill, EachButtonPressTogglesOnce) {
    fake::Install fx;
    AddMicroscope(fx, "/dev/video0", "/dev/input/event7");
    Recorder rec;
    CCaptureDevice* dev = OpenFirst();
    ASSERT_NE(dev, nullptr);
    EXPECT_TRUE(dev->HasStillBranch());
    ASSERT_TRUE(Eventually([&] { return fx.kernel->OpenCount("/dev/input/event7") == 1; }));
    fx.kernel->PressKey("/dev/input/event7", KEY_VOLUMEUP);
    fx.kernel->PressKey("/dev/input/event7", KEY_CAMERA);
    fx.kernel->PressKey("/dev/input/event7", KEY_CAMERA);
    fx.kernel->PressKey("/dev/input/event7", KEY_CAMERA);
    ASSERT_TRUE(rec.WaitStills(3));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(rec.Stills(), 3);
    dev->Destroy();
    EXPECT_EQ(fx.kernel->OpenCount("/dev/input/event7"), 0);

    fake::Install plain;
    AddMicroscope(plain, "/dev/video0");
    dev = OpenFirst();
    ASSERT_NE(dev, nullptr);
    EXPECT_FALSE(dev->HasStillBranch());
    dev->Destroy();
}

TEST(CaptureGraph, UnplugWhileStreamingEndsTheThreadAndDestroyStillWorks) {
    fake::Install fx;
    AddMicroscope(fx, "/dev/video0", "/dev/input/event3");
    Recorder rec;
    CCaptureDevice* dev = OpenFirst();
    ASSERT_NE(dev, nullptr);
    fx.kernel->PushFrame("/dev/video0", fake::Yuy2Frame(640, 480, [](int, int) -> std::uint8_t { return 50; }));
    ASSERT_TRUE(rec.WaitFrames(1));
    fx.kernel->Unplug("/dev/video0");
    fx.kernel->Unplug("/dev/input/event3");
    EXPECT_TRUE(Eventually([&] { return dev->DeviceLost(); }));
    EXPECT_TRUE(dev->IsPreviewing());
    dev->Destroy();
    EXPECT_EQ(fx.kernel->OpenCount("/dev/video0"), 0);
    EXPECT_EQ(fx.kernel->OpenCount("/dev/input/event3"), 0);
    EXPECT_EQ(fx.kernel->Mapped("/dev/video0"), 0);
    EXPECT_EQ(rec.Frames().size(), 1u);
}
