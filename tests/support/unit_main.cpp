// Test entry for tests without a display: a failed wx assertion fails the test
// instead of opening a dialog.
#include <gtest/gtest.h>
#include <wx/debug.h>
#include <wx/image.h>
#include <wx/string.h>

#include "platform/DeviceEndpoint.h"
#include "support/FailOnAssert.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // No test reaches for the device's own ports: a test that wants the
    // network device gives ports of its own (tests/network).
    plat::SetDevicePortsForTesting(std::nullopt);
    wxSetAssertHandler(FailOnAssert);
    wxInitAllImageHandlers();
    return RUN_ALL_TESTS();
}
