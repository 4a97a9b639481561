#pragma once
#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

#include <wx/string.h>
namespace plat {
// Starts a program (looked up on PATH when `argv[0]` holds no '/') with these
// arguments, directly rather than through a shell, and does not wait for it;
// it is reaped whenever it ends.  False when it could not be started.
bool LaunchDetached(const std::vector<std::string>& argv);
// Waits up to `bound` for the started program `pid` to end; true, with its
// wait status in `status`, when it did.  On the user-interface thread the
// windows stay alive meanwhile and the operator's input is dropped.
bool WaitForExit(pid_t pid, std::chrono::milliseconds bound, int* status);
// Opens a folder in the desktop's default file manager; false when no
// launcher could be started or it found nothing to open the folder with.  The
// windows keep painting while the launcher decides (it may take seconds); the
// operator's clicks meanwhile are dropped.
bool OpenFolder(const wxString& path);
}  // namespace plat
