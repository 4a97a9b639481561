// Test entry for tests without a display: a failed wx assertion fails the test
// instead of opening a dialog.
#include <gtest/gtest.h>
#include <wx/debug.h>
#include <wx/image.h>
#include <wx/string.h>

static void FailOnAssert(const wxString& file, int line, const wxString& func, const wxString& cond,
                         const wxString& msg) {
    ADD_FAILURE_AT(file.utf8_str(), line) << "wx assertion " << cond.utf8_str() << " in "
                                          << func.utf8_str() << ": " << msg.utf8_str();
}

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    wxSetAssertHandler(FailOnAssert);
    wxInitAllImageHandlers();
    return RUN_ALL_TESTS();
}
