#include "Roads.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <thread>

#include <opencv2/core/core_c.h>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "platform/Resources.h"
#include "platform/ScreenMetrics.h"
#include "platform/ui/DialogTemplate.h"
#include "station/Overlays.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const StationLayout& StationOnScreen() {
    static const StationLayout layout = [] {
        const plat::ScreenMetrics m = plat::ComputeScreenMetrics(wxRect(0, 0, kScreenWidth, kScreenHeight),
                                                                 wxRect(0, 0, kScreenWidth, kScreenHeight));
        // The sizes the layout takes from pictures: the no-device picture
        // (the retry button lies under it) and the waiting animation.
        StationLayoutInputs in;
        wxImage picture;
        if (plat::LoadResourceImage(kNoDevicePicture, plat::RT_BITMAP, picture)) in.noDevice = picture.GetSize();
        in.waiting = wxSize(400, 300);
        // The magnifier button keeps the size of its template control.
        in.scaleMenu = plat::DluToPx(0, 0, 24, 22).GetSize();
        return ComputeStationLayout(m, in);
    }();
    return layout;
}

wxRect BackButton() { return plat::DluToPx(8, 30, 80, 27); }

wxPoint CentreOf(const wxRect& r) { return wxPoint(r.x + r.width / 2, r.y + r.height / 2); }

void Click(const wxRect& control) { ClickAt(CentreOf(control)); }

std::string PortsText(const plat::DevicePorts& p) {
    return std::to_string(p.presence) + "," + std::to_string(p.status) + "," + std::to_string(p.stream);
}

pid_t StartQuickDetection(ProgramRun& run, std::string* failure, cv::Mat* unlitButton) {
    run.SetEnv("QUILLMARSH_DEVICE_PORTS", PortsText(TestDevicePorts()));
    const pid_t pid = run.Start();
    const auto page = FindStartPage(pid);
    if (!page) {
        *failure = "no start page: " + run.OutputText();
        return -1;
    }
    if (unlitButton) {
        // With the pointer away from it, once the page shows the same twice.
        MovePointer(wxPoint(5, 5));
        cv::Mat before;
        Within(5s, [&] {
            *unlitButton = StartPageButtonOnScreen(run, *page, 1);
            const bool settled = !unlitButton->empty() && !before.empty() &&
                                 cv::norm(*unlitButton, before, cv::NORM_L1) == 0;
            before = *unlitButton;
            return settled;
        });
    }
    return PressQuickDetection(run, pid, failure) ? pid : -1;
}

bool PressQuickDetection(const ProgramRun& run, pid_t pid, std::string* failure) {
    const auto page = FindStartPage(pid);
    if (!page) {
        *failure = "no start page: " + run.OutputText();
        return false;
    }
    ClickStartPageButton(*page, 1);
    if (!FindStationWindow(pid)) {
        *failure = "no station window";
        return false;
    }
    if (!Within(15s, [&] { return ShowsSimulatorPicture(ViewOnScreen(run)); })) {
        *failure = "the device's stream is not live in the view: " + run.OutputText();
        return false;
    }
    return true;
}

cv::Mat Screen(const ProgramRun& run) {
    const fs::path file = run.Scratch() / "screen.png";
    Shell("import -window root " + file.string() + " 2>/dev/null");
    return cv::imread(file.string(), cv::IMREAD_COLOR);
}

cv::Mat ViewOnScreen(const ProgramRun& run) {
    const cv::Mat screen = Screen(run);
    const wxRect v = StationOnScreen().view;
    if (screen.empty() || screen.cols < v.x + v.width || screen.rows < v.y + v.height) return cv::Mat();
    return screen(cv::Rect(v.x, v.y, v.width, v.height)).clone();
}

bool IsRecords(const Geometry& g) { return g.width == plat::DluToPxX(585) && g.height > 500; }
const wxRect kRecordsName = plat::DluToPx(54, 148, 79, 12);
const wxRect kRecordsAdd = plat::DluToPx(171, 39, 62, 18);

bool IsRed(const cv::Vec3b& p) { return p[2] > 200 && p[1] < 60 && p[0] < 60; }

namespace {
cv::Vec3b At(const cv::Mat& m, double fx, double fy) {
    return m.at<cv::Vec3b>(static_cast<int>(fy * (m.rows - 1)), static_cast<int>(fx * (m.cols - 1)));
}
bool Near(const cv::Vec3b& p, int b, int g, int r, int tolerance) {
    return std::abs(p[0] - b) <= tolerance && std::abs(p[1] - g) <= tolerance && std::abs(p[2] - r) <= tolerance;
}
}  // namespace

bool ShowsSimulatorPicture(const cv::Mat& m) {
    if (m.empty()) return false;
    // The red block fills the top left tenth; the gradient elsewhere is never red.
    return IsRed(At(m, 0.03, 0.04)) && !IsRed(At(m, 0.97, 0.96)) && !IsRed(At(m, 0.3, 0.3));
}

bool ShowsFakeUsbPicture(const cv::Mat& m) {
    if (m.empty()) return false;
    for (double f : {0.1, 0.3, 0.7, 0.9})
        if (!Near(At(m, f, f), 60, 200, 20, 25)) return false;
    return true;
}

bool CarriesRuler(const cv::Mat& m) {
    if (m.empty()) return false;
    // Most of the middle row and of the middle column are red (labels and
    // the scale bar lie over parts of them).
    auto share = [&](bool row) {
        int red = 0, all = 0;
        const int n = row ? m.cols : m.rows;
        for (int i = n / 5; i < n - n / 5; ++i) {
            bool hit = false;
            for (int d = -1; d <= 1 && !hit; ++d) {
                const cv::Vec3b p = row ? m.at<cv::Vec3b>(m.rows / 2 + d, i) : m.at<cv::Vec3b>(i, m.cols / 2 + d);
                hit = IsRed(p);
            }
            red += hit;
            ++all;
        }
        return static_cast<double>(red) / all;
    };
    return share(true) > 0.7 && share(false) > 0.7;
}

namespace {

using Overlay = void (*)(IplImage*, int);

cv::Mat Drawn(Overlay overlay, const cv::Mat& frame, int mag) {
    cv::Mat copy = frame.clone();
    IplImage header = cvIplImage(copy);
    overlay(&header, mag);
    return copy;
}

// Of what `overlay` draws on a 640 x 480 frame at `mag` and leaves alone at
// `other`, the share that `view` shows in the overlay's colour (the frame is
// stretched into the view nearest-neighbour).
double ShareShown(const cv::Mat& view, Overlay overlay, int mag, int other) {
    const cv::Mat white(480, 640, CV_8UC3, cv::Scalar::all(255));
    cv::Mat mine, theirs;
    cv::resize(Drawn(overlay, white, mag), mine, view.size(), 0, 0, cv::INTER_NEAREST);
    cv::resize(Drawn(overlay, white, other), theirs, view.size(), 0, 0, cv::INTER_NEAREST);
    const cv::Vec3b blank(255, 255, 255);
    int shown = 0, all = 0;
    for (int y = 0; y < view.rows; ++y)
        for (int x = 0; x < view.cols; ++x) {
            const cv::Vec3b p = mine.at<cv::Vec3b>(y, x);
            if (p == blank || theirs.at<cv::Vec3b>(y, x) != blank) continue;
            shown += Near(view.at<cv::Vec3b>(y, x), p[0], p[1], p[2], 60);
            ++all;
        }
    return all ? static_cast<double>(shown) / all : 0.0;
}

bool ShowsOverlayAt(const cv::Mat& view, Overlay overlay, int mag) {
    if (view.empty()) return false;
    return ShareShown(view, overlay, mag, 1 - mag) > 0.98 && ShareShown(view, overlay, 1 - mag, mag) < 0.1;
}

}  // namespace

bool ShowsRulerAt(const cv::Mat& view, int mag) { return ShowsOverlayAt(view, ::DrawRuler, mag); }

bool ShowsGraticuleAt(const cv::Mat& view, int mag) { return ShowsOverlayAt(view, ::DrawGraticule, mag); }

bool ChooseMagnification(const ProgramRun& run, pid_t pid, int row, std::string* failure) {
    const wxRect button = StationOnScreen().scaleMenu;
    auto isMenu = [&](const Geometry& g) { return g.x == button.x - 15 && g.y + g.height == button.y - 2; };
    Click(button);
    const auto menu = FindWindow(pid, isMenu, 5s);
    if (!menu) {
        *failure = "the magnification menu does not show just above its button";
        return false;
    }
    // Two rows inside a 2-pixel frame; a lit row is filled with red 0x9A,
    // green 0x32, blue 0x57.
    const int rowHeight = (menu->height - 4) / 2;
    const wxPoint centre(menu->x + menu->width / 2, menu->y + 2 + rowHeight * row + rowHeight / 2);
    // Onto the row in two moves, as a hand moves, not in one jump from the button.
    MovePointer(centre + wxPoint(-menu->width / 4, 0));
    MovePointer(centre);
    const bool lit = Within(5s, [&] {
        const cv::Mat s = Screen(run);
        return !s.empty() && Near(s.at<cv::Vec3b>(centre.y, menu->x + 3), 0x57, 0x32, 0x9A, 8);
    });
    if (!lit) {
        *failure = "the row under the pointer does not light up";
        return false;
    }
    Shell("xdotool click 1");   // where the pointer is
    if (!Within(3s, [&] { return !WindowShown(pid, isMenu); })) {
        *failure = "the menu stays after the choice";
        return false;
    }
    return true;
}

cv::Mat StartPageButtonOnScreen(const ProgramRun& run, const Geometry& page, int index) {
    const cv::Mat screen = Screen(run);
    const wxRect b = kStartPageButtons[index];
    const cv::Rect r(page.x + b.x, page.y + b.y, b.width, b.height);
    if (screen.empty() || r.x + r.width > screen.cols || r.y + r.height > screen.rows) return cv::Mat();
    return screen(r).clone();
}

int RedPixels(const cv::Mat& m) {
    int n = 0;
    for (int y = 0; y < m.rows; ++y)
        for (int x = 0; x < m.cols; ++x) n += IsRed(m.at<cv::Vec3b>(y, x));
    return n;
}

bool Within(std::chrono::milliseconds bound, const std::function<bool()>& cond) {
    const auto end = std::chrono::steady_clock::now() + bound;
    for (;;) {
        if (cond()) return true;
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(200ms);
    }
}

std::vector<fs::path> FilesIn(const fs::path& folder, const std::string& ext) {
    std::vector<fs::path> found;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec))
        if (e.is_regular_file() && e.path().extension() == ext) found.push_back(e.path());
    std::sort(found.begin(), found.end());
    return found;
}

fs::path AwaitNewFile(const fs::path& folder, const std::string& ext, const std::vector<fs::path>& before,
                      std::chrono::milliseconds bound) {
    fs::path found;
    Within(bound, [&] {
        for (const fs::path& p : FilesIn(folder, ext))
            if (std::find(before.begin(), before.end(), p) == before.end()) found = p;
        return !found.empty();
    });
    if (found.empty()) return found;
    // Complete once its size stays the same for a moment.
    std::error_code ec;
    auto size = fs::file_size(found, ec);
    for (int i = 0; i < 50; ++i) {
        std::this_thread::sleep_for(200ms);
        const auto now = fs::file_size(found, ec);
        if (now == size && now > 0) break;
        size = now;
    }
    return found;
}

WindowManager::WindowManager() {
    home.Write(".blackboxrc", "session.screen0.enableToolbar: False\n");
    if ((pid = ::fork()) == 0) {
        ::setenv("HOME", home.Path().c_str(), 1);
        ::execlp("blackbox", "blackbox", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    running = pid > 0 && Within(10s, [] { return Shell("xprop -root _NET_SUPPORTING_WM_CHECK").find('#') != std::string::npos; });
}

WindowManager::~WindowManager() {
    if (pid > 0) ::kill(pid, SIGTERM), ::waitpid(pid, nullptr, 0);
    // What it announced goes with it: the tests after this one run without one.
    Shell("xprop -root -remove _NET_SUPPORTING_WM_CHECK -remove _NET_CLIENT_LIST_STACKING 2>/dev/null");
}
