#include "platform/Resources.h"

#include <strings.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include <wx/image.h>
#include <wx/log.h>
#include <wx/mstream.h>

#include "platform/ResourceTable.h"

namespace plat {

namespace {

bool SameType(const char* a, const char* b) { return ::strcasecmp(a, b) == 0; }

bool IsPictureType(const char* type) {
    for (const char* t : {RT_PNG, RT_BITMAP, RT_GIF, RT_CURSOR, RT_ICON})
        if (SameType(type, t)) return true;
    return false;
}

// Pictures are decoded from PNG and GIF bytes; the program may run code that
// decodes before (or without) registering every handler.
void EnsureImageHandlers() {
    static std::once_flag once;
    std::call_once(once, [] {
        if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG)) wxImage::AddHandler(new wxPNGHandler);
        if (!wxImage::FindHandler(wxBITMAP_TYPE_GIF)) wxImage::AddHandler(new wxGIFHandler);
    });
}

std::uint32_t Be32(const unsigned char* p) {
    return (static_cast<std::uint32_t>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
}

// A cursor's hot spot travels in the PNG as the text chunk "hotspot" = "x,y".
bool FindHotSpot(const unsigned char* data, std::size_t size, int& x, int& y) {
    static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (size < 8 || std::memcmp(data, kSignature, 8) != 0) return false;
    static const char kKey[] = "hotspot";  // followed by its NUL separator
    std::size_t pos = 8;
    while (size - pos >= 12) {
        const std::size_t len = Be32(data + pos);
        if (len > size - pos - 12) return false;
        const unsigned char* body = data + pos + 8;
        if (std::memcmp(data + pos + 4, "tEXt", 4) == 0 && len > sizeof kKey &&
            std::memcmp(body, kKey, sizeof kKey) == 0) {
            std::string text(reinterpret_cast<const char*>(body) + sizeof kKey, len - sizeof kKey);
            return std::sscanf(text.c_str(), "%d,%d", &x, &y) == 2;
        }
        if (std::memcmp(data + pos + 4, "IEND", 4) == 0) break;
        pos += 12 + len;
    }
    return false;
}

}  // namespace

ResourceBlob FindResource(int id, const char* type) {
    if (!type) return {};
    for (const ResourceEntry* e = kResourceTable; e->type; ++e) {
        if (e->id == id && SameType(e->type, type))
            return {e->begin, static_cast<std::size_t>(e->end - e->begin)};
    }
    return {};
}

std::vector<ResourceInfo> ListResources() {
    std::vector<ResourceInfo> out;
    for (const ResourceEntry* e = kResourceTable; e->type; ++e)
        out.push_back({e->id, e->type, static_cast<std::size_t>(e->end - e->begin)});
    return out;
}

bool LoadResourceImage(int id, const char* type, wxImage& out) {
    if (!type || !IsPictureType(type)) return false;
    ResourceBlob blob = FindResource(id, type);
    if (!blob || blob.size == 0) return false;
    EnsureImageHandlers();
    wxLogNull quiet;  // an undecodable resource is reported by the result only
    wxMemoryInputStream stream(blob.data, blob.size);
    wxImage image;
    if (!image.LoadFile(stream, wxBITMAP_TYPE_ANY) || !image.IsOk()) return false;
    int hx = 0, hy = 0;
    if (SameType(type, RT_CURSOR) && FindHotSpot(blob.data, blob.size, hx, hy) && hx >= 0 &&
        hy >= 0 && hx < image.GetWidth() && hy < image.GetHeight()) {
        image.SetOption(wxIMAGE_OPTION_CUR_HOTSPOT_X, hx);
        image.SetOption(wxIMAGE_OPTION_CUR_HOTSPOT_Y, hy);
    }
    out = image;
    return true;
}

wxString LoadResourceString(int id) {
    ResourceBlob blob = FindResource(id, RT_STRING);
    if (!blob) return wxString();
    return wxString::FromUTF8(reinterpret_cast<const char*>(blob.data), blob.size);
}

}  // namespace plat
