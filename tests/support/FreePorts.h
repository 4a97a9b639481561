#pragma once
// Ports on 127.0.0.1 that nobody listens on, for a network device of a test's
// own (the simulator's, or one that is never there).
#include "platform/DeviceEndpoint.h"

// Three different ports, free when they were picked.
plat::DevicePorts PickFreeDevicePorts();
