// What the live view costs with a USB camera delivering 1920 x 1080 MJPG at
// 30 frames a second, against a bare libjpeg-turbo decode of the same frames.
//
// The station window runs in this process against the tests' fake camera
// (the same kernel-call interface the capture graph uses on a real camera),
// with the program's own settings; a feeder thread plays the camera, pushing
// one compressed frame every 1/30 s.  Over the measured span the process's
// CPU time (less the feeder's) is compared with the CPU time of decoding as
// many of the same frames with libjpeg-turbo alone, beside the station at the
// camera's rate over the same span (as FFmpeg runs beside it for the network
// camera), and, for reference, one after another afterwards.
//
// Needs a display: bench/live_cost.sh runs it under its Xvfb, or
//   xvfb-run -a -s "-screen 0 1920x1080x24" build/usb_live_cost [seconds]
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <thread>
#include <vector>

#include <linux/videodev2.h>

#include <opencv2/core.hpp>
#include <opencv2/core/utility.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <wx/app.h>
#include <wx/evtloop.h>
#include <wx/image.h>
#include <wx/init.h>
#include <wx/timer.h>

#include "app/QuillmarshApp.h"
#include "bench/BareDecode.h"
#include "platform/CrossThread.h"
#include "platform/DeviceEndpoint.h"
#include "station/QuillmarshDlg.h"
#include "support/FakeCamera.h"

namespace {

using Clock = std::chrono::steady_clock;

double ProcessCpu() {
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec * 1e-9;
}

double ThreadCpu() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec * 1e-9;
}

// Camera-like frames: a gradient, a block and a changing number, as the
// network camera simulator draws them, compressed as a camera would.
std::vector<std::vector<std::uint8_t>> MakeFrames(int count) {
    std::vector<std::vector<std::uint8_t>> frames;
    cv::Mat img(1080, 1920, CV_8UC3);
    for (int n = 0; n < count; ++n) {
        for (int y = 0; y < img.rows; ++y)
            for (int x = 0; x < img.cols; ++x)
                img.at<cv::Vec3b>(y, x) = cv::Vec3b(static_cast<uchar>(80 + 100 * y / img.rows),
                                                    static_cast<uchar>(60 + 120 * x / img.cols), 40);
        cv::rectangle(img, cv::Rect(0, 0, 192, 192), cv::Scalar(0, 0, 255), cv::FILLED);
        cv::putText(img, std::to_string(n), cv::Point(640, 540), cv::FONT_HERSHEY_SIMPLEX, 6,
                    cv::Scalar(255, 255, 255), 3);
        std::vector<std::uint8_t> jpg;
        cv::imencode(".jpg", img, jpg, {cv::IMWRITE_JPEG_QUALITY, 85});
        frames.push_back(std::move(jpg));
    }
    return frames;
}

// Runs the user-interface thread's event loop for `seconds`.
void RunLoop(double seconds) {
    wxGUIEventLoop loop;
    wxTimer timer;
    timer.Bind(wxEVT_TIMER, [&](wxTimerEvent&) { loop.Exit(); });
    timer.StartOnce(static_cast<int>(seconds * 1000));
    loop.Run();
}

// The CPU time of a bare decode of `count` frames one after another.
double BackToBackDecode(const std::vector<std::vector<std::uint8_t>>& frames, long count) {
    std::vector<unsigned char> out(1920 * 1080 * 3);
    const double start = ThreadCpu();
    for (long i = 0; i < count; ++i) BareDecode(frames[static_cast<std::size_t>(i) % frames.size()], out.data());
    return ThreadCpu() - start;
}

// A bare decode beside the station, a frame every 1/fps s as the camera sends
// them, until told to stop: as the network bench runs FFmpeg beside it, over
// the same span on the same machine.  Frames come to a decoder that waits in
// between with its caches gone cold, the station's as much as this one's.
struct PacedDecode {
    std::atomic<bool> run{true};
    double cpu = 0;
    long frames = 0;
    std::thread thread;
    PacedDecode(const std::vector<std::vector<std::uint8_t>>& all, double fps) {
        thread = std::thread([this, &all, fps] {
            std::vector<unsigned char> out(1920 * 1080 * 3);
            const double start = ThreadCpu();
            auto next = Clock::now();
            for (; run; ++frames) {
                BareDecode(all[static_cast<std::size_t>(frames) % all.size()], out.data());
                next += std::chrono::microseconds(static_cast<long>(1e6 / fps));
                std::this_thread::sleep_until(next);
            }
            cpu = ThreadCpu() - start;
        });
    }
    void Stop() {
        run = false;
        thread.join();
    }
};

}  // namespace

int main(int argc, char** argv) {
    const double seconds = argc > 1 ? std::atof(argv[1]) : 20;
    constexpr double kFps = 30;
    if (wxApp::GetInstance() == nullptr) wxApp::SetInstance(new wxApp);
    int wxArgc = 1;  // the span is ours, not a wx option
    if (!wxEntryStart(wxArgc, argv)) {
        std::fprintf(stderr, "usb_live_cost: cannot start wx: no display?\n");
        return 1;
    }
    wxInitAllImageHandlers();
    plat::SetUiThread();
    wxTheApp->CallOnInit();
    cv::setNumThreads(0);  // as the program runs
    plat::SetDevicePortsForTesting(std::nullopt);

    const std::filesystem::path root = std::filesystem::temp_directory_path() / "usb_live_cost";
    std::filesystem::create_directories(root);
    theApp.m_strImageRoot = wxString::FromUTF8(root.string());

    fake::Install camera;
    fake::VideoNode& node = camera.kernel->AddVideo("/dev/video0");
    node.formats = {{V4L2_PIX_FMT_MJPEG, {{1920, 1080}}}};
    node.curFormat = V4L2_PIX_FMT_MJPEG;
    node.curW = 1920;
    node.curH = 1080;
    camera.catalog->nodes.push_back({"/dev/video0", "0c45", "6366", ""});
    const auto frames = MakeFrames(30);

    auto* dlg = new CQuillmarshDlg(nullptr);
    if (!dlg->Create(nullptr)) {
        std::fprintf(stderr, "usb_live_cost: the station window was not made\n");
        return 1;
    }
    // The camera opens one second after the window.
    RunLoop(1.5);
    if (!theApp.m_bUsbCamera || !dlg->m_bLive) {
        std::fprintf(stderr, "usb_live_cost: the fake camera did not go live\n");
        return 1;
    }

    std::atomic<bool> feeding{true};
    std::atomic<double> feederCpu{0};
    std::thread feeder([&] {
        const double start = ThreadCpu();
        auto next = Clock::now();
        for (long n = 0; feeding; ++n) {
            camera.kernel->PushFrame("/dev/video0", frames[static_cast<std::size_t>(n) % frames.size()]);
            next += std::chrono::microseconds(static_cast<long>(1e6 / kFps));
            std::this_thread::sleep_until(next);
        }
        feederCpu = ThreadCpu() - start;
    });
    RunLoop(2);  // settle

    const int handled0 = camera.kernel->Requeued("/dev/video0");
    const double feeder0 = feederCpu;  // still 0: the feeder reports at its end
    const double cpu0 = ProcessCpu();
    const auto wall0 = Clock::now();
    PacedDecode paced(frames, kFps);
    RunLoop(seconds);
    paced.Stop();
    const double cpu = ProcessCpu() - cpu0 - paced.cpu;
    const double wall = std::chrono::duration<double>(Clock::now() - wall0).count();
    const int handled = camera.kernel->Requeued("/dev/video0") - handled0;
    feeding = false;
    feeder.join();
    // The feeder ran over the settling time too: take its share of the span.
    const double feederShare = (feederCpu - feeder0) * wall / (wall + 2);

    delete dlg;  // (closing it would end the program, as the station's close does)

    // Both decodes for as many frames as the station took.
    const double decode = paced.frames > 0 ? paced.cpu * handled / paced.frames : 0;
    const double backToBack = BackToBackDecode(frames, handled);
    const double station = cpu - feederShare;
    std::printf("usb 1920x1080 MJPG @%.0f: station %.1f%% of a core, bare libjpeg-turbo decode beside it %.1f%%, "
                "ratio %.2f, %.1f frames/s reached the view (of %.0f); the decode back to back %.1f%%, ratio %.2f\n",
                kFps, 100 * station / wall, 100 * decode / wall, decode > 0 ? station / decode : 0, handled / wall,
                kFps, 100 * backToBack / wall, backToBack > 0 ? station / backToBack : 0);
    wxEntryCleanup();
    return 0;
}
