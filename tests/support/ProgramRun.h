#pragma once
// The whole program under the test's X display, as an operator meets it:
// a copy of the executable and its data files in a scratch folder (the
// program writes beside itself) with a home folder of its own (where the
// single-instance lock lives), its windows found by process id, and the
// mouse and keyboard driven with xdotool.
#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <wx/gdicmn.h>
#include <wx/image.h>

// Runs `command` in a shell and returns what it printed.
std::string Shell(const std::string& command);

class ProgramRun {
public:
    struct Options {
        bool languagePack = true;
        // The executable, from the build folder: the program, or a test build of it.
        std::string executable = "quillmarsh";
    };
    ProgramRun();
    explicit ProgramRun(const Options& options);
    ~ProgramRun();
    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;

    std::filesystem::path Dir() const { return m_root / "bin"; }
    std::filesystem::path Home() const { return m_root / "home"; }
    std::filesystem::path Scratch() const { return m_root; }
    std::filesystem::path MessageLog() const { return m_root / "messages.log"; }
    std::string OutputText() const;
    // The message boxes the program showed, one line each.
    std::vector<std::string> Messages() const;

    // An environment variable for the runs started from now on.  Without one
    // the station looks for no network device ("QUILLMARSH_DEVICE_PORTS" none).
    void SetEnv(const std::string& name, const std::string& value) { m_env[name] = value; }
    pid_t Start();
    // The exit status once the process has ended, nothing while it runs on.
    std::optional<int> WaitExit(pid_t pid, std::chrono::milliseconds bound);
    // Ends a run at once (SIGKILL), as a power cut would.
    void Kill(pid_t pid);

private:
    std::filesystem::path m_root;
    std::string m_executable;
    std::map<std::string, std::string> m_env;
    std::vector<pid_t> m_pids;
};

bool Alive(pid_t pid);

struct Geometry {
    unsigned long window = 0;
    int x = 0, y = 0, width = 0, height = 0;
    wxPoint Origin() const { return wxPoint(x, y); }
};

// The mapped windows of `pid`.
std::vector<Geometry> Windows(pid_t pid);
// The first mapped window of `pid` that `fits`, waiting up to `bound`.
std::optional<Geometry> FindWindow(pid_t pid, const std::function<bool(const Geometry&)>& fits,
                                   std::chrono::milliseconds bound);
// The start page (720 pixels wide) and the station window (wider).
std::optional<Geometry> FindStartPage(pid_t pid, std::chrono::milliseconds bound = std::chrono::seconds(15));
std::optional<Geometry> FindStationWindow(pid_t pid, std::chrono::milliseconds bound = std::chrono::seconds(15));
// Whether a window of `pid` that fits is mapped now.
bool WindowShown(pid_t pid, const std::function<bool(const Geometry&)>& fits);

// The screen as it is now (read back from the X server).
wxImage GrabScreen(const std::filesystem::path& file);
// Mean absolute difference per channel between `shot` at `at` and `expected`.
double MeanDifference(const wxImage& shot, wxPoint at, const wxImage& expected);
// `picture` scaled to the size of `under` and laid over it with its alpha.
wxImage Over(const wxImage& under, const wxImage& picture);

// Mouse and keyboard.
void MovePointer(const wxPoint& to);
void ClickAt(const wxPoint& at);
void DoubleClickAt(const wxPoint& at);
// A press at `from`, moves through `path`, the release at its end.
void DragThrough(const wxPoint& from, const std::vector<wxPoint>& path);
// Keys (xdotool names) and text to the window with the focus.
void PressKeys(const std::string& keys);
void TypeText(const std::string& text);

// What a window manager sends when the user closes a window: WM_DELETE_WINDOW.
bool SendCloseRequest(unsigned long window);

// Whether the top-level window `upper` lies above `lower` in the stacking
// order, as the window manager or (without one) the X server gives it;
// nothing when either is not there.
std::optional<bool> StackedAbove(unsigned long upper, unsigned long lower);

// The start page's three buttons (records, quick detection, exit), client coordinates.
extern const wxRect kStartPageButtons[3];
// Presses one of them once the page has painted.
void ClickStartPageButton(const Geometry& page, int index);
