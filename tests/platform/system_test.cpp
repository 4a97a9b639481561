// The single-instance guard across processes, the folder launcher, and the
// device ports a process is given.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/DeviceEndpoint.h"
#include "platform/Shell.h"
#include "platform/SingleInstance.h"
#include "support/FakeLauncher.h"
#include "support/TempDir.h"

namespace {

wxString UniqueName() {
    return wxString::Format("PreventSecondInstance-test-%d", static_cast<int>(::getpid()));
}

// Runs `body` in a child process and returns its exit code (-1 on a crash).
template <class F>
int InChild(F body) {
    pid_t pid = ::fork();
    if (pid == 0) ::_exit(body());
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int SecondStartSeesAnother(const wxString& name) {
    return InChild([&] {
        plat::SingleInstanceGuard guard(name);
        return guard.AnotherIsRunning() ? 1 : 0;
    });
}

TEST(SingleInstance, ASecondProcessSeesTheFirstOnlyWhileItRuns) {
    const wxString name = UniqueName();
    EXPECT_EQ(SecondStartSeesAnother(name), 0) << "nobody holds the guard yet";
    {
        plat::SingleInstanceGuard first(name);
        EXPECT_FALSE(first.AnotherIsRunning());
        EXPECT_EQ(SecondStartSeesAnother(name), 1);
        EXPECT_EQ(SecondStartSeesAnother(name), 1) << "the second start left the first untouched";
        EXPECT_FALSE(first.AnotherIsRunning());
        EXPECT_EQ(SecondStartSeesAnother(name + "-other"), 0) << "other names are independent";
    }
    EXPECT_EQ(SecondStartSeesAnother(name), 0) << "released when the first ends";
}

// A program folder holds one station whoever starts it: another user (another
// home folder) is turned away from the same folder, not from another.
TEST(SingleInstance, AFolderIsHeldForEveryUser) {
    const wxString name = UniqueName() + "-folder";
    TempDir one, two, otherHome;
    plat::SingleInstanceGuard first(name, wxString::FromUTF8(one.Path()));
    auto otherUserSeesAnother = [&](const std::string& folder) {
        return InChild([&] {
            ::setenv("HOME", otherHome.Path().c_str(), 1);
            plat::SingleInstanceGuard guard(name, wxString::FromUTF8(folder));
            return guard.AnotherIsRunning() ? 1 : 0;
        });
    };
    EXPECT_EQ(otherUserSeesAnother(one.Path()), 1);
    EXPECT_EQ(otherUserSeesAnother(two.Path()), 0);
    EXPECT_FALSE(first.AnotherIsRunning());
}

TEST(SingleInstance, AGuardLeftByACrashedProcessDoesNotBlock) {
    const wxString name = UniqueName() + "-crash";
    // The child takes the guard and dies without cleaning up.
    EXPECT_EQ(InChild([&] {
                  new plat::SingleInstanceGuard(name);
                  return 0;
              }),
              0);
    plat::SingleInstanceGuard next(name);
    EXPECT_FALSE(next.AnotherIsRunning());
}

TEST(Shell, OpensOnlyExistingFoldersWithTheNameUntouched) {
    TempDir dir;
    const std::string folder = dir.File("Guests-Image/李 '$(x)' \"n\"");
    std::filesystem::create_directories(folder);
    FakeLauncher launcher;
    EXPECT_FALSE(plat::OpenFolder(wxString::FromUTF8(dir.File("missing").c_str())));
    EXPECT_FALSE(plat::OpenFolder(wxString::FromUTF8(dir.Write("file.bmp", "x").c_str())));
    EXPECT_FALSE(plat::OpenFolder(""));
    ASSERT_TRUE(plat::OpenFolder(wxString::FromUTF8(folder.c_str())));
    EXPECT_EQ(launcher.Opened(), folder + "|1");
}

TEST(Shell, NoLauncherOnThePathIsAFailure) {
    TempDir dir;
    TempDir emptyBin;
    const char* old = std::getenv("PATH");
    const std::string oldPath = old ? old : "";
    ::setenv("PATH", emptyBin.Path().c_str(), 1);
    const bool opened = plat::OpenFolder(wxString::FromUTF8(dir.Path().c_str()));
    ::setenv("PATH", oldPath.c_str(), 1);
    EXPECT_FALSE(opened);
}

}  // namespace

namespace {

TEST(DevicePorts, TheEnvironmentNamesThreePortsOrNoDevice) {
    using plat::DevicePorts;
    struct Case {
        const char* text;
        bool understood;
        bool device;
        DevicePorts ports;
    };
    const Case cases[] = {
        {"40001,40002,40003", true, true, {40001, 40002, 40003}},
        {" 1 , 2 , 65535 ", true, true, {1, 2, 65535}},
        {"none", true, false, {}},
        {nullptr, false, false, {}},
        {"", false, false, {}},
        {"40001,40002", false, false, {}},
        {"40001,40002,40003,4", false, false, {}},
        {"0,1,2", false, false, {}},
        {"1,2,65536", false, false, {}},
        {"1;2;3", false, false, {}},
        {"NONE", false, false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text ? c.text : "(unset)");
        const auto parsed = plat::ParseDevicePorts(c.text);
        ASSERT_EQ(parsed.has_value(), c.understood);
        if (!c.understood) continue;
        ASSERT_EQ(parsed->has_value(), c.device);
        if (!c.device) continue;
        EXPECT_EQ((*parsed)->presence, c.ports.presence);
        EXPECT_EQ((*parsed)->status, c.ports.status);
        EXPECT_EQ((*parsed)->stream, c.ports.stream);
    }
}

TEST(DevicePorts, ATestsChoiceComesBeforeTheEnvironmentAndTheDevicesOwn) {
    ::setenv("QUILLMARSH_DEVICE_PORTS", "40001,40002,40003", 1);
    plat::ResetDevicePortsForTesting();
    ASSERT_TRUE(plat::DevicePortsInUse().has_value());
    EXPECT_EQ(plat::DevicePortsInUse()->stream, 40003);
    ::setenv("QUILLMARSH_DEVICE_PORTS", "rubbish", 1);
    ASSERT_TRUE(plat::DevicePortsInUse().has_value());
    EXPECT_EQ(plat::DevicePortsInUse()->presence, 15006);
    EXPECT_EQ(plat::DevicePortsInUse()->status, 15002);
    EXPECT_EQ(plat::DevicePortsInUse()->stream, 8196);
    plat::SetDevicePortsForTesting(std::nullopt);
    EXPECT_FALSE(plat::DevicePortsInUse().has_value());
    ::unsetenv("QUILLMARSH_DEVICE_PORTS");
}

}  // namespace
