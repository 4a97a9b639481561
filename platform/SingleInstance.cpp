#include "platform/SingleInstance.h"

#include <wx/log.h>
#include <wx/snglinst.h>

namespace plat {

SingleInstanceGuard::SingleInstanceGuard(const wxString& name)
    : m_checker(std::make_unique<wxSingleInstanceChecker>()) {
    // The lock file lives in the home folder.  When it cannot be made the guard
    // stays empty and start-up goes on, as it does when the named object
    // cannot be created on Windows.
    wxLogNull quiet;
    if (!m_checker->Create(name)) m_checker.reset();
}

SingleInstanceGuard::~SingleInstanceGuard() = default;

bool SingleInstanceGuard::AnotherIsRunning() const {
    if (!m_checker) return false;
    wxLogNull quiet;
    return m_checker->IsAnotherRunning();
}

}  // namespace plat
