#include "support/DeviceSim.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "support/FreePorts.h"

const plat::DevicePorts& TestDevicePorts() {
    static const plat::DevicePorts ports = [] {
        const plat::DevicePorts p = PickFreeDevicePorts();
        plat::SetDevicePortsForTesting(p);
        return p;
    }();
    return ports;
}

DeviceSim::DeviceSim(std::vector<std::string> args, double durationSeconds) {
    const plat::DevicePorts& ports = TestDevicePorts();
    signal(SIGPIPE, SIG_IGN);
    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0) return;
    if (pipe2(out, O_CLOEXEC) != 0) {
        close(in[0]);
        close(in[1]);
        return;
    }
    args.insert(args.begin(), QUILL_BUILD_DIR "/device_sim");
    args.push_back("--duration");
    args.push_back(std::to_string(durationSeconds));
    for (auto [option, port] : {std::pair{"--presence-port", ports.presence}, std::pair{"--status-port", ports.status},
                                std::pair{"--stream-port", ports.stream}}) {
        args.push_back(option);
        args.push_back(std::to_string(port));
    }
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    m_pid = fork();
    if (m_pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    m_stdin = in[1];
    m_stdout = out[0];
    if (m_pid < 0) return;
    m_reader = std::thread([this] { ReadLoop(); });
    m_started = WaitForOutput("listening");
}

DeviceSim::~DeviceSim() {
    Stop();
    if (m_reader.joinable()) m_reader.join();
    if (m_stdout >= 0) close(m_stdout);
}

void DeviceSim::Stop() {
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        int status = 0;
        waitpid(m_pid, &status, 0);
        m_pid = -1;
    }
    if (m_stdin >= 0) {
        close(m_stdin);
        m_stdin = -1;
    }
}

void DeviceSim::Command(const std::string& line) {
    if (m_stdin < 0) return;
    const std::string l = line + "\n";
    if (write(m_stdin, l.data(), l.size()) < 0) perror("device_sim command");
}

void DeviceSim::ReadLoop() {
    std::string pending;
    char buf[512];
    for (;;) {
        const ssize_t n = read(m_stdout, buf, sizeof buf);
        if (n <= 0) break;
        pending.append(buf, static_cast<size_t>(n));
        size_t nl;
        while ((nl = pending.find('\n')) != std::string::npos) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_lines.push_back(pending.substr(0, nl));
            pending.erase(0, nl + 1);
        }
    }
}

int DeviceSim::CountOutput(const std::string& text) {
    std::lock_guard<std::mutex> lock(m_mutex);
    int n = 0;
    for (const auto& l : m_lines)
        if (l.find(text) != std::string::npos) ++n;
    return n;
}

bool DeviceSim::WaitForOutput(const std::string& text, int count, std::chrono::milliseconds timeout) {
    return WaitUntil([&] { return CountOutput(text) >= count; }, timeout);
}
