#pragma once
#include <memory>
#include <wx/string.h>
class wxSingleInstanceChecker;
namespace plat {
// A named guard held for the life of the process: one for the user (in the
// home folder) and, when a folder is given, one for that folder whoever runs
// the program, since everything a station writes lives in its folder.
class SingleInstanceGuard {
public:
    explicit SingleInstanceGuard(const wxString& name, const wxString& folder = wxString());
    ~SingleInstanceGuard();
    SingleInstanceGuard(const SingleInstanceGuard&) = delete;
    SingleInstanceGuard& operator=(const SingleInstanceGuard&) = delete;
    // True when another process holds a guard of the same name, for this
    // user or for the same folder.
    bool AnotherIsRunning() const;
private:
    std::unique_ptr<wxSingleInstanceChecker> m_checker;
    int m_folderLock = -1;     // the folder's lock file, locked while held
    bool m_folderTaken = false;  // another process holds the folder
};
}  // namespace plat
