#include "platform/MessageBox.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

#include <wx/msgdlg.h>

#include "platform/CrossThread.h"

namespace plat {

namespace {

std::mutex g_hookMutex;
MessageBoxHook g_hook;

// Appends the text to the log named by QUILLMARSH_MESSAGE_LOG; false when no
// log is asked for.
bool AppendToMessageLog(const wxString& text) {
    const char* path = std::getenv("QUILLMARSH_MESSAGE_LOG");
    if (!path || !*path) return false;
    wxString line = text;
    line.Replace("\r\n", "\\n");
    line.Replace("\n", "\\n");
    line.Replace("\r", "\\n");
    static std::mutex logMutex;
    std::lock_guard<std::mutex> lock(logMutex);
    if (FILE* f = std::fopen(path, "abe")) {
        wxScopedCharBuffer utf8 = line.utf8_str();
        std::fwrite(utf8.data(), 1, utf8.length(), f);
        std::fputc('\n', f);
        std::fclose(f);
    }
    return true;
}

int ShowBox(wxWindow* parent, const wxString& text, const wxString& caption, UINT type) {
    long style = 0;
    switch (type & MB_TYPEMASK) {
        case MB_OKCANCEL: style = wxOK | wxCANCEL; break;
        case MB_YESNO: style = wxYES_NO; break;
        case MB_YESNOCANCEL: style = wxYES_NO | wxCANCEL; break;
        default: style = wxOK; break;
    }
    switch (type & MB_ICONMASK) {
        case MB_ICONHAND: style |= wxICON_ERROR; break;
        case MB_ICONQUESTION: style |= wxICON_QUESTION; break;
        case MB_ICONEXCLAMATION: style |= wxICON_WARNING; break;
        case MB_ICONASTERISK: style |= wxICON_INFORMATION; break;
        default: break;
    }
    wxMessageDialog dlg(parent, text, caption, style);
    switch (dlg.ShowModal()) {
        case wxID_YES: return IDYES;
        case wxID_NO: return IDNO;
        case wxID_CANCEL: return IDCANCEL;
        default: return IDOK;
    }
}

}  // namespace

void SetMessageBoxHook(MessageBoxHook hook) {
    std::lock_guard<std::mutex> lock(g_hookMutex);
    g_hook = std::move(hook);
}

int DefaultMessageBoxAnswer(UINT type) {
    switch (type & MB_TYPEMASK) {
        case MB_YESNO:
        case MB_YESNOCANCEL: return IDYES;
        default: return IDOK;
    }
}

}  // namespace plat

int MessageBox(wxWindow* parent, const wxString& text, const wxString& caption, UINT type) {
    plat::MessageBoxHook hook;
    {
        std::lock_guard<std::mutex> lock(plat::g_hookMutex);
        hook = plat::g_hook;
    }
    if (hook) return hook(text, caption, type);
    if (plat::AppendToMessageLog(text)) return plat::DefaultMessageBoxAnswer(type);
    return static_cast<int>(plat::SendToUiThread(
        [&] { return static_cast<LRESULT>(plat::ShowBox(parent, text, caption, type)); }));
}

int AfxMessageBox(const wxString& text, UINT type) {
    if ((type & MB_ICONMASK) == 0) type |= MB_ICONEXCLAMATION;
    return MessageBox(nullptr, text, wxString::FromUTF8("quillmarsh"), type);
}
