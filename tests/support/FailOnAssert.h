#pragma once
// A failed wx assertion fails the running test instead of opening a dialog.
#include <gtest/gtest.h>
#include <wx/string.h>

inline void FailOnAssert(const wxString& file, int line, const wxString& func, const wxString& cond,
                         const wxString& msg) {
    ADD_FAILURE_AT(file.utf8_str(), line) << "wx assertion " << cond.utf8_str() << " in "
                                          << func.utf8_str() << ": " << msg.utf8_str();
}
