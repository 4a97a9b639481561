#include "platform/Shell.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cerrno>
#include <string>
#include <thread>

extern char** environ;

namespace plat {

bool LaunchDetached(const std::vector<std::string>& args) {
    if (args.empty()) return false;
    std::vector<std::string> copy = args;
    std::vector<char*> argv;
    for (std::string& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (::posix_spawnp(&pid, copy[0].c_str(), nullptr, nullptr, argv.data(), environ) != 0) return false;
    // Reap the program whenever it ends so that no zombie is left behind.
    std::thread([pid] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return true;
}

bool OpenFolder(const wxString& path) {
    const std::string folder(path.utf8_str());
    struct stat st;
    if (folder.empty() || ::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    // xdg-open hands the folder to the desktop's default file manager; no
    // character of the customer's name is interpreted by a shell.
    return LaunchDetached({"xdg-open", folder});
}

}  // namespace plat
