// Test entry for tests with a display: wx is started (GTK on the X display of
// xvfb-run), the calling thread is the user-interface thread, and a failed wx
// assertion fails the test instead of opening a modal dialog.
#include <gtest/gtest.h>
#include <wx/app.h>
#include <wx/image.h>
#include <wx/init.h>

#include "platform/CrossThread.h"
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
    // Test discovery only lists the tests; it needs no display.
    // (InitGoogleTest has taken the flag out of argv, so ask gtest.)
    if (::testing::GTEST_FLAG(list_tests)) return RUN_ALL_TESTS();
    wxSetAssertHandler(FailOnAssert);
    // Without an application object wx would start a console application and
    // never open GTK.
    if (wxApp::GetInstance() == nullptr) wxApp::SetInstance(new wxApp);
    if (!wxEntryStart(argc, argv)) {
        fprintf(stderr, "cannot start wx: no display?\n");
        return 1;
    }
    wxSetAssertHandler(FailOnAssert);
    wxInitAllImageHandlers();
    plat::SetUiThread();
    wxTheApp->CallOnInit();
    int rc = RUN_ALL_TESTS();
    wxEntryCleanup();
    return rc;
}
