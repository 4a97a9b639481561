#pragma once
#include <string>
#include <vector>

#include <wx/string.h>
namespace plat {
// Starts a program (looked up on PATH when `argv[0]` holds no '/') with these
// arguments, directly rather than through a shell, and does not wait for it;
// it is reaped whenever it ends.  False when it could not be started.
bool LaunchDetached(const std::vector<std::string>& argv);
// Opens a folder in the desktop's default file manager; false when no
// launcher could be started or it found nothing to open the folder with.  The
// windows keep painting while the launcher decides (it may take seconds); the
// operator's clicks meanwhile are dropped.
bool OpenFolder(const wxString& path);
}  // namespace plat
