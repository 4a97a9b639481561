#include "platform/Paths.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <string>

namespace plat {

namespace {

std::mutex g_folderMutex;
wxString g_folderOverride;

wxString ReadExecutableFolder() {
    std::string buf(4096, '\0');
    ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
    if (n <= 0 || static_cast<std::size_t>(n) >= buf.size()) return wxString();
    buf.resize(static_cast<std::size_t>(n));
    std::size_t slash = buf.rfind('/');
    if (slash == std::string::npos) return wxString();
    return wxString::FromUTF8(buf.data(), slash + 1);
}

std::string ToFs(const wxString& path) {
    return std::string(path.utf8_str());
}

}  // namespace

wxString GetExecutableFolder() {
    std::lock_guard<std::mutex> lock(g_folderMutex);
    if (!g_folderOverride.empty()) return g_folderOverride;
    // The executable does not move while it runs; read the link once.
    static const wxString folder = ReadExecutableFolder();
    return folder;
}

void SetExecutableFolderForTesting(const wxString& folder) {
    std::lock_guard<std::mutex> lock(g_folderMutex);
    g_folderOverride = folder;
    if (!g_folderOverride.empty() && !g_folderOverride.EndsWith("/")) g_folderOverride += "/";
}

bool PathFileExists(const wxString& path) {
    if (path.empty()) return false;
    struct stat st;
    return ::stat(ToFs(path).c_str(), &st) == 0;
}

bool CreateDirectory(const wxString& path) {
    if (path.empty()) return false;
    return ::mkdir(ToFs(path).c_str(), 0777) == 0;
}

std::vector<wxString> FindFiles(const wxString& folder, const wxString& pattern) {
    std::vector<std::string> names;
    const std::string dir = folder.empty() ? std::string("./") : ToFs(folder);
    DIR* d = ::opendir(dir.c_str());
    if (!d) return {};
    const std::string pat = ToFs(pattern);
    while (dirent* e = ::readdir(d)) {
        const char* name = e->d_name;
        if (std::string_view(name) == "." || std::string_view(name) == "..") continue;
        if (::fnmatch(pat.c_str(), name, 0) != 0) continue;
        // d_type is not filled in on every file system: ask stat when unsure,
        // and follow links so a linked picture counts as the picture.
        bool plain = e->d_type == DT_REG;
        if (e->d_type == DT_UNKNOWN || e->d_type == DT_LNK) {
            struct stat st;
            std::string full = dir + (dir.back() == '/' ? "" : "/") + name;
            plain = ::stat(full.c_str(), &st) == 0 && S_ISREG(st.st_mode);
        }
        if (plain) names.emplace_back(name);
    }
    ::closedir(d);
    std::sort(names.begin(), names.end());
    std::vector<wxString> out;
    out.reserve(names.size());
    for (const auto& n : names) {
        // A name that is not UTF-8 could not be addressed again through a
        // wxString path, so it is left out rather than handed on mangled.
        wxString w = wxString::FromUTF8(n.data(), n.size());
        if (!w.empty()) out.push_back(w);
    }
    return out;
}

int OpenRegularFile(const char* path, int flags, unsigned mode) {
    struct stat st;
    if (!(flags & O_CREAT) && ::stat(path, &st) == 0 && !S_ISREG(st.st_mode)) {
        errno = EINVAL;
        return -1;
    }
    const int fd = ::open(path, flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, mode);
    if (fd >= 0 && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    return fd;
}

}  // namespace plat
