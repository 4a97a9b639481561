#include "platform/Shell.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>

#include "platform/CrossThread.h"
#include "platform/ui/BusyWait.h"

extern char** environ;

namespace plat {

namespace {

// How long the folder's opener is given to say whether it opened it.
constexpr std::chrono::milliseconds kOpenerBound{15000};

// Starts the program; 0 when it could not be started.
pid_t Spawn(const std::vector<std::string>& args) {
    if (args.empty()) return 0;
    std::vector<std::string> copy = args;
    std::vector<char*> argv;
    for (std::string& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (::posix_spawnp(&pid, copy[0].c_str(), nullptr, nullptr, argv.data(), environ) != 0) return 0;
    return pid;
}

// Reaps the program whenever it ends so that no zombie is left behind.
void ReapLater(pid_t pid) {
    std::thread([pid] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
}

}  // namespace

bool LaunchDetached(const std::vector<std::string>& args) {
    const pid_t pid = Spawn(args);
    if (pid == 0) return false;
    ReapLater(pid);
    return true;
}

bool WaitForExit(pid_t pid, std::chrono::milliseconds bound, int* status) {
    bool ended = false;
    auto poll = [&] {
        if (!ended) {
            const pid_t r = ::waitpid(pid, status, WNOHANG);
            ended = r == pid || (r < 0 && errno != EINTR);
        }
        return ended;
    };
    if (IsUiThread()) {
        WaitKeepingWindowsAlive(poll, bound);
    } else {
        const auto deadline = std::chrono::steady_clock::now() + bound;
        while (!poll() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return ended;
}

bool OpenFolder(const wxString& path) {
    const std::string folder(path.utf8_str());
    struct stat st;
    if (folder.empty() || ::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    // xdg-open hands the folder to the desktop's default file manager; no
    // character of the customer's name is interpreted by a shell.
    const pid_t pid = Spawn({"xdg-open", folder});
    if (pid == 0) return false;
    // xdg-open ends once a file manager has the folder, and fails when none
    // took it (a machine without a desktop tries its browsers, then gives up).
    int status = 0;
    if (!WaitForExit(pid, kOpenerBound, &status)) {
        // Still running: it is the file manager itself that keeps it, with
        // the folder open.
        ReapLater(pid);
        return true;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace plat
