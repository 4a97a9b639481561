#pragma once
// Failures that travel up to a window's message handler and are shown to the
// operator there: the dialog base class catches them around every control
// handler and reports them in a message box, and the window stays as it was.
#include <exception>
#include <string>

#include <wx/string.h>

#include "platform/WinTypes.h"

class CException : public std::exception {
public:
    // The text shown to the operator.
    virtual wxString GetErrorMessage() const { return m_message; }
    // Shows the text in the application's message box; returns the answer.
    virtual int ReportError(UINT type = 0) const;
    const char* what() const noexcept override { return m_what.c_str(); }

protected:
    explicit CException(const wxString& message) : m_message(message), m_what(message.utf8_str()) {}

private:
    wxString m_message;
    std::string m_what;
};
