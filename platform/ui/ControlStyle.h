#pragma once
// Template controls keep their dialog-unit sizes (an edit is 12 units, 20
// pixels, high); the desktop theme's minimum heights and paddings would push
// their text out.  A style sheet of the program's own lowers those minimums.
namespace plat {
// Installs it once for the display (user-interface thread).
void InstallCompactControlStyle();
}
