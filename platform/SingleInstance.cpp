#include "platform/SingleInstance.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <set>

#include <wx/log.h>
#include <wx/snglinst.h>

namespace plat {

namespace {

std::set<int> OpenDescriptors() {
    std::set<int> fds;
    if (DIR* d = ::opendir("/proc/self/fd")) {
        while (const dirent* e = ::readdir(d))
            if (e->d_name[0] != '.' && std::atoi(e->d_name) != ::dirfd(d)) fds.insert(std::atoi(e->d_name));
        ::closedir(d);
    }
    return fds;
}

}  // namespace

SingleInstanceGuard::SingleInstanceGuard(const wxString& name, const wxString& folder)
    : m_checker(std::make_unique<wxSingleInstanceChecker>()) {
    // The lock file lives in the home folder.  When it cannot be made the guard
    // stays empty and start-up goes on, as it does when the named object
    // cannot be created on Windows.
    wxLogNull quiet;
    // The checker keeps its lock file open without close-on-exec and does not
    // say which descriptor it is: whatever it opened is marked, so that no
    // program the station starts holds the lock on after the station ends.
    const std::set<int> before = OpenDescriptors();
    if (!m_checker->Create(name)) m_checker.reset();
    for (int fd : OpenDescriptors())
        if (!before.count(fd)) ::fcntl(fd, F_SETFD, ::fcntl(fd, F_GETFD) | FD_CLOEXEC);
    if (folder.empty()) return;

    // The folder's guard is a lock on a file in it, which the system lets go
    // of with the process however it ends.  Any user who may read the file can
    // lock it, so a station started from the folder by another user sees this
    // one; it is left in place, as removing it could part two stations.
    wxString file = folder;
    if (!file.EndsWith("/")) file += "/";
    const std::string path((file + "." + name).utf8_str());
    m_folderLock = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (m_folderLock >= 0) ::fchmod(m_folderLock, 0644);  // readable by all whatever the umask (when it is ours)
    else m_folderLock = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (m_folderLock < 0) return;  // a folder nobody may write into holds no station's data either
    int rc;
    while ((rc = ::flock(m_folderLock, LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
    }
    m_folderTaken = rc != 0 && errno == EWOULDBLOCK;
}

SingleInstanceGuard::~SingleInstanceGuard() {
    if (m_folderLock >= 0) ::close(m_folderLock);
}

bool SingleInstanceGuard::AnotherIsRunning() const {
    if (m_folderTaken) return true;
    if (!m_checker) return false;
    wxLogNull quiet;
    return m_checker->IsAnotherRunning();
}

}  // namespace plat
