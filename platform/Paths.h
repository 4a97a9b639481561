#pragma once
// Files and folders as the station's code uses them.  Every path is built
// with '/'.
#include <vector>
#include <wx/string.h>

namespace plat {

// The folder of the running executable (/proc/self/exe), with a trailing '/'.
wxString GetExecutableFolder();
// Tests may point the executable folder elsewhere; an empty text restores it.
void SetExecutableFolderForTesting(const wxString& folder);

// True when a file or folder of that path exists.
bool PathFileExists(const wxString& path);
// Makes one folder level; false when it could not be made (also when it exists).
bool CreateDirectory(const wxString& path);

// The names (not paths) of the plain files in `folder` matching a wildcard
// pattern such as "*.bmp" (case-sensitive, as the file system is), sorted by
// name, so the last one is the newest time-stamped snapshot.
std::vector<wxString> FindFiles(const wxString& folder, const wxString& pattern);

}  // namespace plat
