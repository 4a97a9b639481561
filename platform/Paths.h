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

// Opens `path` (open(2) flags) only as a regular file, and without waiting:
// a pipe would wait for its other end for good, and a device could be read
// without end.  A file that must exist is looked at before it is opened, as
// opening a device may already act on it; every file is looked at again as
// opened, as it may have been replaced meanwhile.  The descriptor, or -1 with
// errno set (EINVAL for what is not a regular file).
int OpenRegularFile(const char* path, int flags, unsigned mode = 0666);

}  // namespace plat
