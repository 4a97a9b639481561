#include "platform/automation/Office.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <vector>

#include "platform/Shell.h"
#include "platform/Texts.h"

extern char** environ;

namespace fs = std::filesystem;

namespace plat::office {

namespace {

// A first start of LibreOffice on a loaded machine takes seconds; a run that
// has not ended within this bound is taken to hang.
constexpr std::chrono::milliseconds kNormalRunBound{120000};
std::atomic<long long> g_runBoundMs{0};

std::chrono::milliseconds RunBound() {
    const long long ms = g_runBoundMs.load();
    return ms > 0 ? std::chrono::milliseconds(ms) : kNormalRunBound;
}

wxString DidNotFinish() {
    return Text(kOfficeTimedOut, wxString::Format("%lld", static_cast<long long>(RunBound().count() / 1000)));
}

// Set by tests only, on the user-interface thread.
std::string g_printerForTesting;

std::string ToFs(const wxString& path) { return std::string(path.utf8_str()); }

// A folder of its own under `parent` (made with a unique name), removed with
// everything in it when this goes.
class ScratchFolder {
public:
    ScratchFolder(const fs::path& parent, const char* prefix) {
        std::string templ = (parent / (std::string(prefix) + "XXXXXX")).string();
        if (::mkdtemp(templ.data())) m_path = templ;
        else m_error = errno;
    }
    ~ScratchFolder() {
        std::error_code ec;
        if (!m_path.empty()) fs::remove_all(m_path, ec);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    bool ok() const { return !m_path.empty(); }
    const fs::path& path() const { return m_path; }
    int error() const { return m_error; }

private:
    fs::path m_path;
    int m_error = 0;
};

// A file: URL of an absolute path, as LibreOffice takes its profile folder.
std::string FileUrl(const fs::path& path) {
    std::string url = "file://";
    for (unsigned char c : path.string()) {
        if (std::isalnum(c) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~')
            url += static_cast<char>(c);
        else {
            char buf[4];
            std::snprintf(buf, sizeof buf, "%%%02X", c);
            url += buf;
        }
    }
    return url;
}

struct RunResult {
    bool started = false;
    bool timedOut = false;
    int exitCode = -1;
};

// Runs the program in a process group of its own, its output into `log`,
// and waits for it within the bound; a run that overruns is ended with the
// whole group (LibreOffice starts a second process of its own).  Its
// temporary files go into `tmp`: LibreOffice ended that way leaves its
// temporary folder behind, which must not pile up in the system's.
RunResult RunBounded(const std::vector<std::string>& args, const fs::path& log, const fs::path& tmp) {
    RunResult result;
    std::vector<std::string> copy = args;
    std::vector<char*> argv;
    for (std::string& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> environment;
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "TMPDIR=", 7) != 0) environment.emplace_back(*e);
    environment.push_back("TMPDIR=" + tmp.string());
    std::vector<char*> envp;
    for (std::string& e : environment) envp.push_back(e.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attr);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);  // nothing else of the station's
    posix_spawnattr_setpgroup(&attr, 0);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
    pid_t pid = 0;
    const int rc = ::posix_spawn(&pid, copy[0].c_str(), &actions, &attr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    if (rc != 0) return result;
    result.started = true;

    int status = 0;
    if (!WaitForExit(pid, RunBound(), &status)) {
        result.timedOut = true;
        ::kill(-pid, SIGKILL);
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        return result;
    }
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    return result;
}

// 0 when the bytes were written to the new file, else why not (errno).
int WriteFile(const fs::path& path, const std::string& bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return errno;
    int error = 0;
    for (std::size_t done = 0; !error && done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) error = n < 0 ? errno : ENOSPC;
        else done += static_cast<std::size_t>(n);
    }
    if (::close(fd) != 0 && !error) error = errno;
    return error;
}

// A Word 97 document is a compound file: it starts with this signature.
bool IsCompoundFile(const fs::path& path) {
    static const unsigned char kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    unsigned char head[8] = {};
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool whole = ::read(fd, head, sizeof head) == static_cast<ssize_t>(sizeof head);
    ::close(fd);
    return whole && std::equal(head, head + 8, kSignature);
}

// A scratch folder with the rich text in it and a profile folder for
// LibreOffice; the start of every run.
fs::path TempFolder() {
    std::error_code ec;
    fs::path folder = fs::temp_directory_path(ec);
    return ec ? fs::path("/tmp") : folder;
}

// The operator's words for why a file could not be written in a folder.
wxString WhyNotWritten(int error) {
    if (error == ENOSPC || error == EDQUOT) return Text(kDiskFull);
    if (error == EACCES || error == EPERM || error == EROFS) return Text(kFolderReadOnly);
    return wxString::FromUTF8(std::strerror(error)) + ".";
}

// Whether `bytes` (the size of what was to be written, at least a little)
// still fit into the folder: 0 when they do, else why not.
int ProbeFolder(const fs::path& folder, std::size_t bytes) {
    const std::string probe = (folder / "probe").string();
    const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return errno;
    const int rc = ::posix_fallocate(fd, 0, static_cast<off_t>(std::max<std::size_t>(bytes, 64 * 1024)));
    ::close(fd);
    ::unlink(probe.c_str());
    // A file system that cannot reserve space says nothing about it.
    return rc == EOPNOTSUPP || rc == EINVAL ? 0 : rc;
}

struct OfficeRun {
    ScratchFolder work{TempFolder(), "quillmarsh-office-"};
    fs::path input;
    std::vector<std::string> command;

    // False with the reason in the operator's words when LibreOffice or the
    // scratch folder is missing.
    bool Prepare(const std::string& rtf, wxString* why) {
        const std::string office = FindOffice();
        if (office.empty()) {
            *why = Text(kOfficeMissing);
            return false;
        }
        int error = work.ok() ? 0 : work.error();
        if (!error && ::mkdir((work.path() / "profile").c_str(), 0700) != 0) error = errno;
        if (!error) error = WriteFile(input = work.path() / "report.rtf", rtf);
        if (error) {
            *why = Text(kTempFolderUnusable, wxString::FromUTF8(TempFolder().string())) + " " + WhyNotWritten(error);
            return false;
        }
        command = {office, "--headless", "--norestore", "--nologo",
                   "-env:UserInstallation=" + FileUrl(work.path() / "profile")};
        return true;
    }
    fs::path Log() const { return work.path() / "office.log"; }
};

// A LibreOffice built without a user interface (Debian's "nogui" packages)
// has no window plug-in beside its program; started for the operator it would
// show nothing and keep running unseen.
bool HasWindows(const std::string& office) {
    std::error_code ec;
    const fs::path program = fs::canonical(office, ec).parent_path();
    if (ec) return false;
    for (const auto& entry : fs::directory_iterator(program, ec))
        if (entry.path().filename().string().rfind("libvclplug_", 0) == 0) return true;
    return false;
}

}  // namespace

std::string FindOffice() {
    const char* path = std::getenv("PATH");
    if (!path) return {};
    std::stringstream dirs(path);
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        if (dir.empty()) continue;
        const std::string candidate = dir + "/soffice";
        struct stat st;
        if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(candidate.c_str(), X_OK) == 0)
            return candidate;
    }
    return {};
}

bool SaveAsWord97(const std::string& rtf, const wxString& target, wxString* error) {
    wxString ignored;
    if (!error) error = &ignored;
    const fs::path destination(ToFs(target));
    const fs::path folder = destination.parent_path();
    std::error_code ec;
    auto fail = [&](const wxString& why) {
        *error = Text(kDocSaveFailed) + "\n" + target + "\n" + why;
        return false;
    };
    if (destination.filename().empty() || !fs::is_directory(folder, ec)) return fail(Text(kDocFolderMissing));
    OfficeRun run;
    wxString why;
    if (!run.Prepare(rtf, &why)) return fail(why);
    // Converted beside the target, then moved into its place in one step.
    ScratchFolder beside(folder, ".quillmarsh-save-");
    if (!beside.ok()) return fail(WhyNotWritten(beside.error()));
    std::vector<std::string> command = run.command;
    command.insert(command.end(), {"--convert-to", "doc:MS Word 97", "--outdir", beside.path().string(),
                                   run.input.string()});
    const RunResult result = RunBounded(command, run.Log(), run.work.path());
    const fs::path converted = beside.path() / "report.doc";
    if (!result.started) return fail(Text(kOfficeNotStarted));
    if (result.timedOut) return fail(DidNotFinish());
    // LibreOffice reports success for a document it could not write (a full
    // disk, for one): only the file says whether it was written.
    if (result.exitCode != 0 || !fs::exists(converted, ec) || !IsCompoundFile(converted)) {
        if (const int trouble = ProbeFolder(beside.path(), rtf.size())) return fail(WhyNotWritten(trouble));
        if (result.exitCode != 0)
            return fail(Text(kOfficeConvertFailed, wxString::Format("%d", result.exitCode)));
        return fail(Text(kOfficeNoDocument));
    }
    fs::rename(converted, destination, ec);
    if (ec) return fail(WhyNotWritten(ec.value()));
    return true;
}

bool Print(const std::string& rtf, wxString* error) {
    wxString ignored;
    if (!error) error = &ignored;
    auto fail = [&](const wxString& why) {
        *error = Text(kPrintFailed) + " " + why;
        return false;
    };
    const std::string printer = DefaultPrinter();
    if (printer.empty()) return fail(Text(kNoPrinter));
    OfficeRun run;
    wxString why;
    if (!run.Prepare(rtf, &why)) return fail(why);
    std::vector<std::string> command = run.command;
    command.insert(command.end(), {"-p", run.input.string()});
    const RunResult result = RunBounded(command, run.Log(), run.work.path());
    if (!result.started) return fail(Text(kOfficeNotStarted));
    if (result.timedOut) return fail(DidNotFinish());
    if (result.exitCode != 0) {
        // What LibreOffice prints must fit beside it in its scratch folder.
        if (const int trouble = ProbeFolder(run.work.path(), rtf.size())) return fail(WhyNotWritten(trouble));
        return fail(Text(kPrinterRefused, wxString::FromUTF8(printer)));
    }
    return true;
}

std::string DefaultPrinter() {
    if (!g_printerForTesting.empty()) return g_printerForTesting;
    // The printing system's client library, as LibreOffice itself uses it;
    // loaded when needed, so that a machine without it simply has no printer.
    struct Option {
        char* name;
        char* value;
    };
    struct Dest {
        char* name;
        char* instance;
        int isDefault;
        int numOptions;
        Option* options;
    };
    using GetDests = int (*)(Dest**);
    using FreeDests = void (*)(int, Dest*);
    static void* library = ::dlopen("libcups.so.2", RTLD_NOW | RTLD_LOCAL);
    if (!library) return {};
    auto getDests = reinterpret_cast<GetDests>(::dlsym(library, "cupsGetDests"));
    auto freeDests = reinterpret_cast<FreeDests>(::dlsym(library, "cupsFreeDests"));
    if (!getDests || !freeDests) return {};
    Dest* dests = nullptr;
    const int count = getDests(&dests);
    std::string name;
    for (int i = 0; i < count; ++i)
        if (dests[i].isDefault && dests[i].name) name = dests[i].name;
    freeDests(count, dests);
    return name;
}

void OpenForOperator(const wxString& path) {
    const char* headless = std::getenv("QUILLMARSH_HEADLESS");
    if (headless && *headless) return;
    const std::string office = FindOffice();
    if (office.empty() || !HasWindows(office)) return;
    // The operator's own LibreOffice (and profile): a Writer already open
    // takes the document into a window of its own.
    LaunchDetached({office, "--writer", ToFs(path)});
}

void SetRunBoundForTesting(std::chrono::milliseconds bound) { g_runBoundMs = bound.count(); }

void SetDefaultPrinterForTesting(const std::string& name) { g_printerForTesting = name; }

}  // namespace plat::office
