#pragma once
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include <wx/string.h>

class wxWindow;

namespace plat {
// Starts a program (looked up on PATH when `argv[0]` holds no '/') with these
// arguments, directly rather than through a shell, and does not wait for it;
// it is reaped whenever it ends.  False when it could not be started.
bool LaunchDetached(const std::vector<std::string>& argv);
// Waits up to `bound` for the started program `pid` to end; true, with its
// wait status in `status`, when it did.  On the user-interface thread the
// windows stay alive meanwhile and the operator's input is dropped.
bool WaitForExit(pid_t pid, std::chrono::milliseconds bound, int* status);
// Opens a folder in the desktop's default file manager and returns at once:
// false when the folder is missing or no launcher could be started.  The
// launcher may run for as long as the file manager shows the folder; when it
// ends with a failure (it found nothing to open the folder with), whenever
// that is, `failed` runs on the user-interface thread, unless `owner` has
// been destroyed by then.
bool OpenFolder(const wxString& path, wxWindow* owner = nullptr, std::function<void()> failed = {});
}  // namespace plat
