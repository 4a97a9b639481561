// Test entry for tests without a display: a failed wx assertion fails the test
// instead of opening a dialog.
#include <gtest/gtest.h>
#include <wx/debug.h>
#include <wx/image.h>
#include <wx/string.h>

#include <opencv2/core/utility.hpp>

#include "platform/DeviceEndpoint.h"
#include "support/FailOnAssert.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    // No test reaches for the device's own ports: a test that wants the
    // network device gives ports of its own (tests/network).
    plat::SetDevicePortsForTesting(std::nullopt);
#ifdef __SANITIZE_THREAD__
    // OpenCV's own worker pool (TBB) synchronises in ways ThreadSanitizer
    // cannot see; its loops run on the calling thread here, so what is checked
    // are the threads of this program.
    cv::setNumThreads(1);
#endif
    wxSetAssertHandler(FailOnAssert);
    wxInitAllImageHandlers();
    return RUN_ALL_TESTS();
}
