#pragma once
// Message boxes with the Windows flags and answers the station's code uses.
// Tests answer them through a hook; with QUILLMARSH_MESSAGE_LOG naming a file,
// every message is appended there (one UTF-8 line: the text, line breaks
// written as the two characters \n) and answered with the default button
// (IDOK, or IDYES for yes/no boxes) without being shown, so end-to-end runs
// of the whole program can read what the operator would have seen.
#include <functional>

#include <wx/string.h>

#include "platform/WinTypes.h"

class wxWindow;

constexpr UINT MB_OK = 0x00000000;
constexpr UINT MB_OKCANCEL = 0x00000001;
constexpr UINT MB_YESNOCANCEL = 0x00000003;
constexpr UINT MB_YESNO = 0x00000004;
constexpr UINT MB_ICONHAND = 0x00000010;
constexpr UINT MB_ICONERROR = MB_ICONHAND;
constexpr UINT MB_ICONSTOP = MB_ICONHAND;
constexpr UINT MB_ICONQUESTION = 0x00000020;
constexpr UINT MB_ICONEXCLAMATION = 0x00000030;
constexpr UINT MB_ICONWARNING = MB_ICONEXCLAMATION;
constexpr UINT MB_ICONASTERISK = 0x00000040;
constexpr UINT MB_ICONINFORMATION = MB_ICONASTERISK;
constexpr UINT MB_TYPEMASK = 0x0000000F;
constexpr UINT MB_ICONMASK = 0x000000F0;

// The application's message box: captioned with the program's name; a box
// without an icon flag gets the exclamation icon.  Any thread (a worker's box
// runs on the user-interface thread).  Returns IDOK, IDCANCEL, IDYES or IDNO.
int AfxMessageBox(const wxString& text, UINT type = MB_OK);

// A message box with its own caption, modal over `parent` (may be nullptr).
int MessageBox(wxWindow* parent, const wxString& text, const wxString& caption, UINT type = MB_OK);

namespace plat {

using MessageBoxHook = std::function<int(const wxString& text, const wxString& caption, UINT type)>;
// Tests: every box goes to `hook` instead of the screen; its result is the
// answer.  An empty function removes the hook.
void SetMessageBoxHook(MessageBoxHook hook);

// The answer a box gets when nobody is asked (message log, no display).
int DefaultMessageBoxAnswer(UINT type);

}  // namespace plat
