#include "support/ProgramRun.h"

#include <dlfcn.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include <wx/log.h>

#include "platform/ui/DialogTemplate.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string Shell(const std::string& command) {
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
        char buf[256];
        while (std::fgets(buf, sizeof buf, p)) out += buf;
        ::pclose(p);
    }
    return out;
}

ProgramRun::ProgramRun() : ProgramRun(Options{}) {}

ProgramRun::ProgramRun(const Options& options) : m_executable(options.executable) {
    std::string templ = (fs::temp_directory_path() / "quillmarsh-e2e-XXXXXX").string();
    if (char* made = ::mkdtemp(templ.data())) m_root = made;
    const fs::path build = QUILL_BUILD_DIR;
    fs::create_directories(Dir());
    fs::create_directories(Home());
    fs::copy_file(build / m_executable, Dir() / m_executable);
    fs::copy_file(build / "Setup.ini", Dir() / "Setup.ini");
    if (options.languagePack) fs::copy(build / "Language", Dir() / "Language", fs::copy_options::recursive);
    if (fs::exists(build / "standard")) fs::copy(build / "standard", Dir() / "standard", fs::copy_options::recursive);
    m_env["QUILLMARSH_DEVICE_PORTS"] = "none";
}

ProgramRun::~ProgramRun() {
    for (pid_t pid : m_pids) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
    std::error_code ec;
    if (!m_root.empty()) fs::remove_all(m_root, ec);
}

std::string ProgramRun::OutputText() const {
    std::ifstream in(m_root / "output.log");
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> ProgramRun::Messages() const {
    std::vector<std::string> lines;
    std::ifstream in(MessageLog());
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

pid_t ProgramRun::Start() {
    const std::string output = (m_root / "output.log").string();
    const std::string exe = (Dir() / m_executable).string();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setenv("HOME", Home().c_str(), 1);
        ::setenv("QUILLMARSH_MESSAGE_LOG", MessageLog().c_str(), 1);
        ::setenv("GSETTINGS_BACKEND", "memory", 1);
        ::setenv("QUILLMARSH_HEADLESS", "1", 1);
        for (const auto& [name, value] : m_env) ::setenv(name.c_str(), value.c_str(), 1);
        if (FILE* out = std::fopen(output.c_str(), "ab")) {
            ::dup2(::fileno(out), 1);
            ::dup2(::fileno(out), 2);
        }
        // As a desktop starts it: with the standard streams only, so that
        // what else the program holds is its own.
        ::closefrom(3);
        ::execl(exe.c_str(), exe.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    if (pid > 0) m_pids.push_back(pid);
    return pid;
}

std::optional<int> ProgramRun::WaitExit(pid_t pid, std::chrono::milliseconds bound) {
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

void ProgramRun::Kill(pid_t pid) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    std::erase(m_pids, pid);
}

bool Alive(pid_t pid) {
    int status = 0;
    return ::waitpid(pid, &status, WNOHANG) == 0;
}

std::vector<Geometry> Windows(pid_t pid) {
    std::vector<Geometry> found;
    std::istringstream ids(Shell("xdotool search --onlyvisible --pid " + std::to_string(pid) + " 2>/dev/null"));
    for (unsigned long id; ids >> id;) {
        Geometry g;
        g.window = id;
        std::istringstream shell(Shell("xdotool getwindowgeometry --shell " + std::to_string(id) + " 2>/dev/null"));
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
        found.push_back(g);
    }
    return found;
}

std::optional<Geometry> FindWindow(pid_t pid, const std::function<bool(const Geometry&)>& fits,
                                   std::chrono::milliseconds bound) {
    const auto end = std::chrono::steady_clock::now() + bound;
    do {
        for (const Geometry& g : Windows(pid))
            if (fits(g)) return g;
        std::this_thread::sleep_for(100ms);
    } while (std::chrono::steady_clock::now() < end);
    return std::nullopt;
}

bool WindowShown(pid_t pid, const std::function<bool(const Geometry&)>& fits) {
    for (const Geometry& g : Windows(pid))
        if (fits(g)) return true;
    return false;
}

std::optional<Geometry> FindStartPage(pid_t pid, std::chrono::milliseconds bound) {
    return FindWindow(pid, [](const Geometry& g) { return g.width == 720; }, bound);
}

std::optional<Geometry> FindStationWindow(pid_t pid, std::chrono::milliseconds bound) {
    return FindWindow(pid, [](const Geometry& g) { return g.width > 1000; }, bound);
}

wxImage GrabScreen(const fs::path& file) {
    Shell("import -window root " + file.string() + " 2>/dev/null");
    wxLogNull quiet;
    wxImage shot;
    shot.LoadFile(file.string(), wxBITMAP_TYPE_PNG);
    return shot;
}

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

namespace {
std::string At(const wxPoint& p) { return std::to_string(p.x) + " " + std::to_string(p.y); }
}  // namespace

void MovePointer(const wxPoint& to) { Shell("xdotool mousemove --sync " + At(to)); }

void ClickAt(const wxPoint& at) { Shell("xdotool mousemove --sync " + At(at) + " click 1"); }

void DoubleClickAt(const wxPoint& at) {
    Shell("xdotool mousemove --sync " + At(at) + " click --repeat 2 --delay 80 1");
}

void DragThrough(const wxPoint& from, const std::vector<wxPoint>& path) {
    std::string cmd = "xdotool mousemove --sync " + At(from) + " mousedown 1";
    for (const wxPoint& p : path) cmd += " sleep 0.05 mousemove " + At(p);
    cmd += " sleep 0.1 mouseup 1";
    Shell(cmd);
}

void PressKeys(const std::string& keys) { Shell("xdotool key --delay 40 " + keys); }

void TypeText(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    quoted += "'";
    Shell("xdotool type --delay 30 -- " + quoted);
}

bool SendCloseRequest(unsigned long window) {
    // libX11 is reached at run time; the tests link no X library of their own.
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

std::optional<bool> StackedAbove(unsigned long upper, unsigned long lower) {
    // A window manager lists the windows it manages from the bottom up;
    // without one xwininfo lists the root's children from the top down.
    const std::string managed = Shell("xprop -root _NET_CLIENT_LIST_STACKING 2>/dev/null");
    const bool bottomUp = managed.find('#') != std::string::npos;
    std::istringstream tree(bottomUp ? managed.substr(managed.find('#') + 1) : Shell("xwininfo -root -children 2>/dev/null"));
    std::optional<bool> firstIsUpper;
    for (std::string line; std::getline(tree, line, bottomUp ? ',' : '\n');) {
        const unsigned long id = std::strtoul(line.c_str(), nullptr, 16);
        if (id != upper && id != lower) continue;
        if (firstIsUpper) return *firstIsUpper != bottomUp;
        firstIsUpper = id == upper;
    }
    return std::nullopt;
}

const wxRect kStartPageButtons[3] = {plat::DluToPx(368, 180, 105, 39), plat::DluToPx(368, 227, 105, 39),
                                     plat::DluToPx(368, 274, 105, 39)};

void ClickStartPageButton(const Geometry& page, int index) {
    std::this_thread::sleep_for(300ms);
    ClickAt(page.Origin() + kStartPageButtons[index].GetPosition() + wxSize(20, 20));
}
