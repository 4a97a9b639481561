#pragma once
// A stand-in folder launcher (xdg-open) first on the PATH while it lives,
// recording what it was asked to open and the descriptors it was started
// with, and ending with the given status (once released, when held: as a file
// manager showing the folder, it runs on).
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "support/TempDir.h"

class FakeLauncher {
public:
    explicit FakeLauncher(int exitStatus = 0, bool held = false) {
        m_log = m_dir.File("opened.txt");
        const std::string hold = "while [ ! -e '" + m_dir.File("release") + "' ] && [ -d '" + m_dir.Path() +
                                 "' ]; do sleep 0.02; done\n";
        const std::string fds = "echo $(ls /proc/self/fd) > '" + m_dir.File("fds.txt") + "'\n";
        const std::string script = m_dir.Write("xdg-open", "#!/bin/sh\n" + fds + "printf '%s|%d' \"$1\" \"$#\" > '" + m_log + ".tmp'\nmv '" +
                                                               m_log + ".tmp' '" + m_log + "'\n" + (held ? hold : "") +
                                                               "exit " + std::to_string(exitStatus) + "\n");
        ::chmod(script.c_str(), 0755);
        const char* old = std::getenv("PATH");
        m_oldPath = old ? old : "";
        ::setenv("PATH", (m_dir.Path() + ":" + m_oldPath).c_str(), 1);
    }
    ~FakeLauncher() { ::setenv("PATH", m_oldPath.c_str(), 1); }
    FakeLauncher(const FakeLauncher&) = delete;
    FakeLauncher& operator=(const FakeLauncher&) = delete;

    // "<first argument>|<argument count>", waiting a little for it to run.
    std::string Opened() const {
        for (int i = 0; i < 200; ++i) {
            std::ifstream in(m_log);
            std::string s;
            if (std::getline(in, s)) return s;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return "";
    }
    // The descriptors it was started with, and the listing's own (3): "0 1 2 3".
    std::string Descriptors() const { std::ifstream in(m_dir.File("fds.txt")); std::string s; std::getline(in, s); return s; }
    void Release() { std::ofstream(m_dir.File("release")); }  // a held one ends now

private:
    TempDir m_dir;
    std::string m_log, m_oldPath;
};
