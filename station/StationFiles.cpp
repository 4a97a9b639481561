#include "station/StationFiles.h"

wxString ImageFolderName(const wxString& customerName) {
    if (customerName.empty()) return "_";
    if (customerName == ".") return "__";
    if (customerName == "..") return "___";
    wxString name = customerName;
    name.Replace("/", "_");
    return name;
}

wxString SnapshotFileName(const std::tm& t) {
    return wxString::Format("%d%02d%02d%02d%02d%02d.bmp", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour,
                            t.tm_min, t.tm_sec);
}

std::uint64_t Bmp24FileSize(int width, int height) {
    const std::uint64_t row = (static_cast<std::uint64_t>(width) * 3 + 3) & ~std::uint64_t{3};
    return 14 + 40 + row * static_cast<std::uint64_t>(height);
}
