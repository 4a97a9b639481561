#include "platform/Shell.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <string>
#include <thread>

extern char** environ;

namespace plat {

bool OpenFolder(const wxString& path) {
    const std::string folder(path.utf8_str());
    struct stat st;
    if (folder.empty() || ::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    // xdg-open hands the folder to the desktop's default file manager.  It is
    // started directly rather than through a shell, so no character of the
    // customer's name is interpreted.
    std::string program = "xdg-open";
    char* argv[] = {program.data(), const_cast<char*>(folder.c_str()), nullptr};
    pid_t pid = 0;
    if (::posix_spawnp(&pid, program.c_str(), nullptr, nullptr, argv, environ) != 0) return false;
    // Reap the launcher whenever it ends so that no zombie is left behind.
    std::thread([pid] {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }).detach();
    return true;
}

}  // namespace plat
