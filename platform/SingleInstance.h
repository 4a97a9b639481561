#pragma once
#include <memory>
#include <wx/string.h>
class wxSingleInstanceChecker;
namespace plat {
// A named guard held for the life of the process.
class SingleInstanceGuard {
public:
    explicit SingleInstanceGuard(const wxString& name);
    ~SingleInstanceGuard();
    // True when another process holds a guard of the same name.
    bool AnotherIsRunning() const;
private:
    std::unique_ptr<wxSingleInstanceChecker> m_checker;
};
}  // namespace plat
