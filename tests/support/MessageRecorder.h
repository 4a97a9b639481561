#pragma once
// Message boxes answered with IDOK and remembered, for as long as it lives.
#include <vector>

#include <wx/string.h>

#include "platform/MessageBox.h"

struct MessageRecorder {
    std::vector<wxString> texts;
    MessageRecorder() {
        plat::SetMessageBoxHook([this](const wxString& text, const wxString&, UINT) {
            texts.push_back(text);
            return IDOK;
        });
    }
    ~MessageRecorder() { plat::SetMessageBoxHook({}); }
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;
};
