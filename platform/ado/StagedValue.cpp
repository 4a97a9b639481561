#include "platform/ado/StagedValue.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/ado/Ado.h"

namespace ado {

namespace {

[[noreturn]] void FileFailure(const char* what, int error) {
    throw _com_error(E_FAIL, wxString::Format("%s: %s", what, wxString::FromUTF8(std::strerror(error))));
}

// An unnamed file in `folder`, or -1 with errno set.
int UnnamedFile(const std::string& folder) {
    if (folder.empty()) {
        errno = ENOENT;
        return -1;
    }
    int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) return fd;
    // A file system without unnamed files: a named one, unlinked at once.
    std::string templ = folder + "/.staged-XXXXXX";
    fd = ::mkostemp(templ.data(), O_CLOEXEC);
    if (fd >= 0) ::unlink(templ.c_str());
    return fd;
}

}  // namespace

StagedValue::StagedValue(const std::string& folder) {
    m_fd = UnnamedFile(folder);
    if (m_fd < 0) {
        const char* tmp = std::getenv("TMPDIR");
        m_fd = UnnamedFile(tmp && *tmp ? tmp : "/tmp");
    }
    if (m_fd < 0) FileFailure("No temporary file can hold the value being written", errno);
}

StagedValue::~StagedValue() {
    if (m_fd >= 0) ::close(m_fd);
}

void StagedValue::Append(const void* data, std::size_t size) {
    const char* bytes = static_cast<const char*>(data);
    for (std::size_t done = 0; done < size;) {
        const ssize_t n = ::pwrite(m_fd, bytes + done, size - done, static_cast<off_t>(m_size + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            // The size stays as it was: bytes written past it are not part
            // of the value, and the next append writes over them.
            FileFailure("The value being written cannot be held in its temporary file", n < 0 ? errno : ENOSPC);
        }
        done += static_cast<std::size_t>(n);
    }
    m_size += static_cast<std::int64_t>(size);
}

std::size_t StagedValue::Read(std::int64_t offset, void* out, std::size_t size) const {
    if (offset >= m_size) return 0;
    if (static_cast<std::int64_t>(size) > m_size - offset) size = static_cast<std::size_t>(m_size - offset);
    char* bytes = static_cast<char*>(out);
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(m_fd, bytes + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) FileFailure("The value being written cannot be read back from its temporary file", errno);
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    return done;
}

}  // namespace ado
