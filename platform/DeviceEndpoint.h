#pragma once
// Where the networked camera device is: its fixed IPv4 address (the build
// setting QUILLMARSH_DEVICE_ADDRESS) and its three ports.  The program uses the
// device's own ports; a test gives the station ports of its own so that nothing
// else listening on this machine (a simulator, another test run) can reach it,
// or says that there is no network device at all (then nothing is probed).
#include <optional>

#include <wx/string.h>

namespace plat {

struct DevicePorts {
    int presence = 15006;  // greets each connection with "xev..."
    int status = 15002;    // the hardware button, one "0" per press
    int stream = 8196;     // MJPEG over HTTP at "/?.mjpg"
};

// The device's address text.
wxString DeviceAddressText();

// The ports to reach the device on, or nothing when no network device is to
// be looked for.  The device's own ports unless a test has set others (below),
// or the environment variable QUILLMARSH_DEVICE_PORTS names them for a whole
// process: "presence,status,stream" (three port numbers) or "none".
std::optional<DevicePorts> DevicePortsInUse();

// Tests: the ports of this process from now on (nullopt: no network device);
// ResetDevicePortsForTesting returns to the environment or the device's own.
void SetDevicePortsForTesting(std::optional<DevicePorts> ports);
void ResetDevicePortsForTesting();

// Reads the environment variable's text; nothing when it is not one of the two
// forms (then the device's own ports apply).
std::optional<std::optional<DevicePorts>> ParseDevicePorts(const char* text);

}  // namespace plat
