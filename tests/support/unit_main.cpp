// Test entry for tests without a display: a failed wx assertion fails the test
// instead of opening a dialog.
#include <gtest/gtest.h>
#include <wx/debug.h>
#include <wx/image.h>
#include <wx/string.h>

#include "support/FailOnAssert.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    wxSetAssertHandler(FailOnAssert);
    wxInitAllImageHandlers();
    return RUN_ALL_TESTS();
}
