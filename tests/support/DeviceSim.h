#pragma once
// Runs tools/device_sim (on 127.0.0.1) for a test: started with options,
// commands written to its standard input, its report lines read from its
// standard output, stopped (by its own process id) when the object goes.
#include <sys/types.h>

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/DeviceEndpoint.h"

// Three ports of this test run, free when they were picked, given to the
// station code of this process (in place of the device's own) and to every
// simulator it starts, so nothing else listening on the machine is reached.
const plat::DevicePorts& TestDevicePorts();

class DeviceSim {
public:
    // Starts the simulator on the test run's ports with `args` (a --duration
    // is added so it always ends by itself) and waits until it listens.
    explicit DeviceSim(std::vector<std::string> args, double durationSeconds = 30);
    ~DeviceSim();
    DeviceSim(const DeviceSim&) = delete;
    DeviceSim& operator=(const DeviceSim&) = delete;

    bool Started() const { return m_started; }
    // One command line ("press", "send 0\\n", "stall", ...).
    void Command(const std::string& line);
    // Waits until an output line containing `text` has appeared `count` times.
    bool WaitForOutput(const std::string& text, int count = 1,
                       std::chrono::milliseconds timeout = std::chrono::seconds(5));
    int CountOutput(const std::string& text);
    // Ends the simulator now (its ports close).
    void Stop();

private:
    void ReadLoop();

    pid_t m_pid = -1;
    int m_stdin = -1;
    int m_stdout = -1;
    bool m_started = false;
    std::thread m_reader;
    std::mutex m_mutex;
    std::vector<std::string> m_lines;
};

// Waits until `cond` holds or `timeout` passes; true when it held.
template <class F>
bool WaitUntil(F cond, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!cond()) {
        if (std::chrono::steady_clock::now() >= deadline) return cond();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}
