#include "platform/Shell.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <utility>

#include <wx/weakref.h>
#include <wx/window.h>

#include "platform/CrossThread.h"
#include "platform/ui/BusyWait.h"

extern char** environ;

namespace plat {

namespace {

// Starts the program; 0 when it could not be started.
pid_t Spawn(const std::vector<std::string>& args) {
    if (args.empty()) return 0;
    std::vector<std::string> copy = args;
    std::vector<char*> argv;
    for (std::string& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    // It inherits nothing of the station but the standard streams: no lock,
    // socket or file that a library opened without close-on-exec, or that
    // another thread has open for a moment.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    pid_t pid = 0;
    const int rc = ::posix_spawnp(&pid, copy[0].c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : 0;
}

// Waits for the program's end, reaping it.
int Reap(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return status;
}

// Reaps the program whenever it ends so that no zombie is left behind.
void ReapLater(pid_t pid) {
    std::thread([pid] { Reap(pid); }).detach();
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

bool OpenFolder(const wxString& path, wxWindow* owner, std::function<void()> failed) {
    const std::string folder(path.utf8_str());
    struct stat st;
    if (folder.empty() || ::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    // xdg-open hands the folder to the desktop's default file manager; no
    // character of the customer's name is interpreted by a shell.
    const pid_t pid = Spawn({"xdg-open", folder});
    if (pid == 0) return false;
    // Within a desktop session xdg-open ends once a file manager has the
    // folder; without one it runs the file manager itself and ends when that
    // closes.  It fails when nothing took the folder (it tries browsers, then
    // gives up), whenever that is.  So it is waited for off the user-interface
    // thread, and a failure is reported to the owner if it is still there.
    // Only the user-interface thread touches the watch (its weak reference
    // is not thread-safe): the waiter hands it back there, success or not.
    struct Watch {
        wxWeakRef<wxWindow> owner;
        std::function<void()> failed;
    };
    auto watch = std::make_shared<Watch>(Watch{owner, std::move(failed)});
    std::thread([pid, watch = std::move(watch)]() mutable {
        const int status = Reap(pid);
        const bool opened = WIFEXITED(status) && WEXITSTATUS(status) == 0;
        PostToUiThread([watch = std::move(watch), opened] {
            if (!opened && watch->owner && watch->failed) watch->failed();
        });
    }).detach();
    return true;
}

}  // namespace plat
