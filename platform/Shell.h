#pragma once
#include <wx/string.h>
namespace plat {
// Opens a folder in the desktop's default file manager; false when no
// launcher could be started.
bool OpenFolder(const wxString& path);
}  // namespace plat
