#pragma once
// Runs the user-interface thread's events (and the calls posted to it) for a
// while, as a window under test needs to paint and answer.
#include <chrono>
#include <functional>
#include <thread>

#include <wx/app.h>

#include "platform/CrossThread.h"

inline void Pump(long ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    do {
        wxTheApp->Yield(true);
        plat::RunPostedCalls();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    } while (std::chrono::steady_clock::now() < end);
}

// Pumps until `done` holds or `ms` pass; whether it held.
inline bool PumpUntil(const std::function<bool()>& done, long ms = 3000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end) return done();
        Pump(5);
    }
    return true;
}
