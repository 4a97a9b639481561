#pragma once
// Resources embedded in the executable, found by (id, type) as the station's
// code addresses them.  Type names match without regard to case.
#include <cstddef>
#include <string>
#include <vector>

#include <wx/string.h>

class wxImage;

namespace plat {

inline constexpr const char* RT_PNG = "PNG";
inline constexpr const char* RT_BITMAP = "BITMAP";   // kept as PNG, decoded on load
inline constexpr const char* RT_GIF = "gif";
inline constexpr const char* RT_WAVE = "WAVE";
inline constexpr const char* RT_CURSOR = "CURSOR";   // PNG; hot spot in its "hotspot" text chunk
inline constexpr const char* RT_ICON = "ICON";       // PNG
inline constexpr const char* RT_MDB = "MDB";         // empty SQLite database
inline constexpr const char* RT_STRING = "STRING";   // UTF-8 text

// A picture a window asks for: its id and resource type.
struct ResourceRef {
    int id;
    const char* type;
};

struct ResourceBlob {
    const unsigned char* data = nullptr;
    std::size_t size = 0;
    explicit operator bool() const { return data != nullptr; }
};

// Finds a resource; an empty blob when there is none (ids of other language
// sets are not supplied and find nothing).
ResourceBlob FindResource(int id, const char* type);

struct ResourceInfo {
    int id;
    std::string type;
    std::size_t size;
};
std::vector<ResourceInfo> ListResources();

// Decodes a picture resource (PNG, BITMAP, gif's first frame, CURSOR, ICON)
// into an image, alpha kept.  A cursor's hot spot is set as the image options
// wxIMAGE_OPTION_CUR_HOTSPOT_X/Y, so wxCursor(image) takes it.  False when
// missing or undecodable.
bool LoadResourceImage(int id, const char* type, wxImage& out);

// String table entry; empty when missing.
wxString LoadResourceString(int id);

}  // namespace plat
