#pragma once
// Names the station window gives to folders and snapshot files.
#include <cstdint>
#include <ctime>

#include <wx/string.h>

// The folder name for a customer's Name.  A Name that is a usable folder name
// is used unchanged, so folders made earlier still match.  A Name that is not
// (empty, "." or "..", or holding the path separator) would put the pictures
// outside the image root or nowhere: it gets a safe name instead, with each
// separator replaced by '_' and "", "." and ".." turned into "_", "__" and "___".
wxString ImageFolderName(const wxString& customerName);

// "%d%02d%02d%02d%02d%02d.bmp" of the local time: 20141127093005.bmp.
wxString SnapshotFileName(const std::tm& local);

// Makes `folder` ready to be shown in a file manager: it must name a folder
// directly under the image root `root`, and stay there once links are
// followed; a missing one (and a missing root) is made first.  False, with
// the reason in `error`, when it is not such a folder or cannot be made.
bool PrepareCustomerFolder(const wxString& folder, const wxString& root, wxString* error);

// Size of the file a 24-bit BMP of width x height makes: the two headers and
// rows padded to four bytes.
std::uint64_t Bmp24FileSize(int width, int height);
