#include "platform/DeviceEndpoint.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <sstream>

#ifndef QUILLMARSH_DEVICE_ADDRESS
#define QUILLMARSH_DEVICE_ADDRESS "127.0.0.1"
#endif

namespace plat {

namespace {

std::mutex g_lock;
bool g_overridden = false;
std::optional<DevicePorts> g_override;

bool IsPort(long p) { return p > 0 && p <= 65535; }

}  // namespace

wxString DeviceAddressText() { return wxString::FromUTF8(QUILLMARSH_DEVICE_ADDRESS); }

std::optional<std::optional<DevicePorts>> ParseDevicePorts(const char* text) {
    if (!text) return std::nullopt;
    if (std::strcmp(text, "none") == 0) return std::optional<DevicePorts>();
    std::istringstream in(text);
    long p[3];
    char comma1 = 0, comma2 = 0;
    if (!(in >> p[0] >> comma1 >> p[1] >> comma2 >> p[2]) || comma1 != ',' || comma2 != ',') return std::nullopt;
    in >> std::ws;
    if (!in.eof() || !IsPort(p[0]) || !IsPort(p[1]) || !IsPort(p[2])) return std::nullopt;
    return std::optional<DevicePorts>(DevicePorts{static_cast<int>(p[0]), static_cast<int>(p[1]), static_cast<int>(p[2])});
}

std::optional<DevicePorts> DevicePortsInUse() {
    {
        std::lock_guard<std::mutex> lock(g_lock);
        if (g_overridden) return g_override;
    }
    if (auto parsed = ParseDevicePorts(std::getenv("QUILLMARSH_DEVICE_PORTS"))) return *parsed;
    return DevicePorts{};
}

void SetDevicePortsForTesting(std::optional<DevicePorts> ports) {
    std::lock_guard<std::mutex> lock(g_lock);
    g_overridden = true;
    g_override = ports;
}

void ResetDevicePortsForTesting() {
    std::lock_guard<std::mutex> lock(g_lock);
    g_overridden = false;
    g_override.reset();
}

}  // namespace plat
