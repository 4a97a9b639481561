#pragma once
// Private messages of the station window that the device side sends it: the
// presence probe (station) and the stream reader (capture) both include this.
#include "platform/WinTypes.h"

constexpr UINT WM_DEVICE_STATUS = WM_USER + 30;   // lParam 0 found, 1 not found
constexpr UINT WM_CAMERA_READY = WM_USER + 32;    // the stream is open (lParam 1)
constexpr UINT WM_CAMERA_WAITING = WM_USER + 33;  // back to waiting (nothing sends it)
