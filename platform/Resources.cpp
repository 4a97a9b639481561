#include "platform/Resources.h"

#include <strings.h>

#include <mutex>

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
    out = image;
    return true;
}

wxString LoadResourceString(int id) {
    ResourceBlob blob = FindResource(id, RT_STRING);
    if (!blob) return wxString();
    return wxString::FromUTF8(reinterpret_cast<const char*>(blob.data), blob.size);
}

}  // namespace plat
