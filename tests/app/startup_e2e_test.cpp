// The whole program under the test's X display: the start page with its
// background and three image buttons on screen, the single-instance guard,
// the image root folder, the missing-pack warning, Enter and Escape, and the
// ways the program ends, from the start page and from the station window.
// Each run uses a copy of the executable and its data files in a scratch
// folder (the program writes beside itself) and a home folder of its own
// (where the single-instance lock lives).
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
#include "platform/ui/DialogTemplate.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

std::string Shell(const std::string& command) {
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char buf[256];
        while (std::fgets(buf, sizeof buf, p)) out += buf;
        ::pclose(p);
    }
    return out;
}

// One copy of the program with its data files, run from a scratch folder.
class Station {
public:
    explicit Station(bool withLanguagePack = true) {
        std::string templ = (fs::temp_directory_path() / "quillmarsh-e2e-XXXXXX").string();
        if (char* made = ::mkdtemp(templ.data())) m_root = made;
        const fs::path build = QUILL_BUILD_DIR;
        fs::create_directories(Dir());
        fs::create_directories(Home());
        fs::copy_file(build / "quillmarsh", Dir() / "quillmarsh");
        fs::copy_file(build / "Setup.ini", Dir() / "Setup.ini");
        if (withLanguagePack) fs::copy(build / "Language", Dir() / "Language", fs::copy_options::recursive);
    }
    ~Station() {
        for (pid_t pid : m_pids) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
        std::error_code ec;
        fs::remove_all(m_root, ec);
    }
    fs::path Dir() const { return fs::path(m_root) / "bin"; }
    fs::path Home() const { return fs::path(m_root) / "home"; }
    fs::path MessageLog() const { return fs::path(m_root) / "messages.log"; }
    fs::path Output() const { return fs::path(m_root) / "output.log"; }
    std::string OutputText() const {
        std::ifstream in(Output());
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    pid_t Start() {
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::setenv("HOME", Home().c_str(), 1);
            ::setenv("QUILLMARSH_MESSAGE_LOG", MessageLog().c_str(), 1);
            ::setenv("GSETTINGS_BACKEND", "memory", 1);
            // No network device: the station probes nothing on this machine.
            ::setenv("QUILLMARSH_DEVICE_PORTS", "none", 1);
            if (FILE* out = std::fopen(Output().c_str(), "ab")) {
                ::dup2(::fileno(out), 1);
                ::dup2(::fileno(out), 2);
            }
            const std::string exe = (Dir() / "quillmarsh").string();
            ::execl(exe.c_str(), exe.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        if (pid > 0) m_pids.push_back(pid);
        return pid;
    }

    // The exit status once the process has ended, nothing while it runs on.
    std::optional<int> WaitExit(pid_t pid, std::chrono::milliseconds bound) {
        const auto end = std::chrono::steady_clock::now() + bound;
        do {
            int status = 0;
            if (::waitpid(pid, &status, WNOHANG) == pid) {
                std::erase(m_pids, pid);
                return status;
            }
            std::this_thread::sleep_for(20ms);
        } while (std::chrono::steady_clock::now() < end);
        return std::nullopt;
    }

    std::vector<std::string> Messages() const {
        std::vector<std::string> lines;
        std::ifstream in(MessageLog());
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }

private:
    std::string m_root;
    std::vector<pid_t> m_pids;
};

struct Geometry {
    unsigned long window = 0;
    int x = 0, y = 0, width = 0, height = 0;
};

// The first window of `pid` that is mapped and `fits`.
std::optional<Geometry> FindWindow(pid_t pid, bool (*fits)(const Geometry&), std::chrono::milliseconds bound) {
    const auto end = std::chrono::steady_clock::now() + bound;
    do {
        std::istringstream ids(Shell("xdotool search --onlyvisible --pid " + std::to_string(pid) + " 2>/dev/null"));
        for (unsigned long id; ids >> id;) {
            Geometry g;
            g.window = id;
            std::istringstream shell(Shell("xdotool getwindowgeometry --shell " + std::to_string(id)));
            for (std::string line; std::getline(shell, line);) {
                const auto eq = line.find('=');
                if (eq == std::string::npos) continue;
                const std::string key = line.substr(0, eq);
                const int value = std::atoi(line.c_str() + eq + 1);
                if (key == "X") g.x = value;
                if (key == "Y") g.y = value;
                if (key == "WIDTH") g.width = value;
                if (key == "HEIGHT") g.height = value;
            }
            if (fits(g)) return g;
        }
        std::this_thread::sleep_for(100ms);
    } while (std::chrono::steady_clock::now() < end);
    return std::nullopt;
}

// The start page (720 pixels wide).
std::optional<Geometry> FindStartPage(pid_t pid, std::chrono::milliseconds bound = 15s) {
    return FindWindow(pid, [](const Geometry& g) { return g.width == 720; }, bound);
}

// The station window, as wide as the screen.
std::optional<Geometry> FindStationWindow(pid_t pid, std::chrono::milliseconds bound = 15s) {
    return FindWindow(pid, [](const Geometry& g) { return g.width > 720; }, bound);
}

wxImage GrabScreen(const fs::path& file) {
    Shell("import -window root " + file.string() + " 2>/dev/null");
    wxLogNull quiet;
    wxImage shot;
    shot.LoadFile(file.string(), wxBITMAP_TYPE_PNG);
    return shot;
}

// Mean absolute difference per channel between `shot` at `at` and `expected`.
double MeanDifference(const wxImage& shot, wxPoint at, const wxImage& expected) {
    double sum = 0;
    long n = 0;
    for (int y = 0; y < expected.GetHeight(); ++y)
        for (int x = 0; x < expected.GetWidth(); ++x) {
            const int sx = at.x + x, sy = at.y + y;
            if (sx < 0 || sy < 0 || sx >= shot.GetWidth() || sy >= shot.GetHeight()) return 255;
            sum += std::abs(shot.GetRed(sx, sy) - expected.GetRed(x, y)) +
                   std::abs(shot.GetGreen(sx, sy) - expected.GetGreen(x, y)) +
                   std::abs(shot.GetBlue(sx, sy) - expected.GetBlue(x, y));
            n += 3;
        }
    return n ? sum / n : 255;
}

// `picture` scaled to the size of `under` and laid over it with its alpha.
wxImage Over(const wxImage& under, const wxImage& picture) {
    wxImage top = picture.Scale(under.GetWidth(), under.GetHeight(), wxIMAGE_QUALITY_HIGH);
    wxImage out = under.Copy();
    for (int y = 0; y < out.GetHeight(); ++y)
        for (int x = 0; x < out.GetWidth(); ++x) {
            const int a = top.HasAlpha() ? top.GetAlpha(x, y) : 255;
            auto mix = [a](int t, int u) { return static_cast<unsigned char>((t * a + u * (255 - a)) / 255); };
            out.SetRGB(x, y, mix(top.GetRed(x, y), out.GetRed(x, y)), mix(top.GetGreen(x, y), out.GetGreen(x, y)),
                       mix(top.GetBlue(x, y), out.GetBlue(x, y)));
        }
    return out;
}

bool Alive(pid_t pid) {
    int status = 0;
    return ::waitpid(pid, &status, WNOHANG) == 0;
}

// What a window manager sends when the user closes a window: WM_DELETE_WINDOW.
// libX11 is reached at run time; the test links no X library of its own.
bool SendCloseRequest(unsigned long window) {
    void* x11 = ::dlopen("libX11.so.6", RTLD_NOW);
    if (!x11) return false;
    using Display = void;
    auto open = reinterpret_cast<Display* (*)(const char*)>(::dlsym(x11, "XOpenDisplay"));
    auto atom = reinterpret_cast<unsigned long (*)(Display*, const char*, int)>(::dlsym(x11, "XInternAtom"));
    auto send = reinterpret_cast<int (*)(Display*, unsigned long, int, long, void*)>(::dlsym(x11, "XSendEvent"));
    auto flush = reinterpret_cast<int (*)(Display*)>(::dlsym(x11, "XFlush"));
    auto close = reinterpret_cast<int (*)(Display*)>(::dlsym(x11, "XCloseDisplay"));
    if (!open || !atom || !send || !flush || !close) return false;
    Display* dpy = open(nullptr);
    if (!dpy) return false;
    // XClientMessageEvent laid out by hand: type, serial, send_event, display,
    // window, message_type, format, data.
    struct {
        int type;
        unsigned long serial;
        int send_event;
        Display* display;
        unsigned long window;
        unsigned long message_type;
        int format;
        long data[5];
    } event{};
    static_assert(sizeof(event) <= 192, "fits an XEvent");
    alignas(long) unsigned char xevent[192] = {};
    event.type = 33;  // ClientMessage
    event.window = window;
    event.message_type = atom(dpy, "WM_PROTOCOLS", 0);
    event.format = 32;
    event.data[0] = static_cast<long>(atom(dpy, "WM_DELETE_WINDOW", 0));
    event.data[1] = 0;  // CurrentTime
    std::memcpy(xevent, &event, sizeof event);
    send(dpy, window, 0, 0, xevent);
    flush(dpy);
    close(dpy);
    return true;
}

const wxRect kButtons[] = {plat::DluToPx(368, 180, 105, 39), plat::DluToPx(368, 227, 105, 39),
                           plat::DluToPx(368, 274, 105, 39)};
const int kButtonImages[] = {170, 171, 242};

void ClickAt(const wxPoint& at) {
    Shell("xdotool mousemove " + std::to_string(at.x) + " " + std::to_string(at.y) + " click 1");
}

// The start page's quick-detection button, once the page has painted.
void ClickQuickStart(const Geometry& page) {
    std::this_thread::sleep_for(300ms);
    ClickAt(wxPoint(page.x, page.y) + kButtons[1].GetPosition() + wxSize(20, 20));
}

TEST(StartUp, StartPageShowsBackgroundAndThreeImageButtons) {
    Station station;
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
    Station station;
    const pid_t pid = station.Start();
    ASSERT_TRUE(FindStartPage(pid));
    EXPECT_TRUE(fs::is_directory(station.Dir() / "Guests-Image"));
}

TEST(StartUp, SecondCopyReportsAndEndsWhileTheFirstRunsOn) {
    Station station;
    const pid_t first = station.Start();
    const auto page = FindStartPage(first);
    ASSERT_TRUE(page);

    const pid_t second = station.Start();
    const auto status = station.WaitExit(second, 15s);
    ASSERT_TRUE(status) << "the second copy did not end";
    EXPECT_TRUE(WIFEXITED(*status));
    EXPECT_EQ(WEXITSTATUS(*status), 0);
    EXPECT_EQ(station.Messages(), std::vector<std::string>{"The program is already running."});

    EXPECT_TRUE(Alive(first));
    const auto still = FindStartPage(first, 2s);
    ASSERT_TRUE(still);
    EXPECT_EQ(still->window, page->window);

    // The copy that gave up leaves the first one's guard in place: a third
    // start is turned away just the same.
    const pid_t third = station.Start();
    const auto thirdStatus = station.WaitExit(third, 15s);
    ASSERT_TRUE(thirdStatus) << "the third copy did not end";
    EXPECT_TRUE(WIFEXITED(*thirdStatus));
    EXPECT_EQ(station.Messages(),
              (std::vector<std::string>{"The program is already running.", "The program is already running."}));
    EXPECT_TRUE(Alive(first));
}

TEST(StartUp, ExitButtonEndsTheProgramWithCodeZero) {
    Station station;
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
    Station station;
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
    Station station(/*withLanguagePack=*/false);
    std::ofstream(station.Dir() / "Setup.ini") << "[setup]\r\nlanguage=2\r\n";
    const pid_t pid = station.Start();
    const auto page = FindStartPage(pid);
    ASSERT_TRUE(page);
    ClickQuickStart(*page);
    const auto end = std::chrono::steady_clock::now() + 5s;
    while (station.Messages().empty() && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(50ms);
    EXPECT_EQ(station.Messages(),
              std::vector<std::string>{"Language packs is missing, Please reinstall the Program!"});
    EXPECT_TRUE(Alive(pid));
}

TEST(StartUp, TheStationWindowsCloseButtonEndsTheProgramWithCodeZero) {
    Station station;
    const pid_t pid = station.Start();
    const auto page = FindStartPage(pid);
    ASSERT_TRUE(page);
    ClickQuickStart(*page);
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
