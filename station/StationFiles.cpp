#include "station/StationFiles.h"

#include <filesystem>
#include <system_error>

#include "app/LangTexts.h"
#include "app/QuillmarshApp.h"

namespace fs = std::filesystem;

namespace {

// The path without trailing separators (but "/" stays "/").
fs::path Trimmed(const wxString& text) {
    std::string s = text.utf8_string();
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    return fs::path(s).lexically_normal();
}

}  // namespace

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

bool PrepareCustomerFolder(const wxString& folder, const wxString& root, wxString* error) {
    auto fail = [error](const wxString& why) {
        if (error) *error = why;
        return false;
    };
    const fs::path f = Trimmed(folder);
    const fs::path r = Trimmed(root);
    const std::string name = f.filename().string();
    if (root.empty() || f.parent_path() != r || name.empty() || name == "." || name == "..")
        return fail(theApp.GetLangString(lang::kFolderNotCustomers));
    std::error_code ec;
    if (!fs::exists(f, ec)) {
        fs::create_directories(f, ec);
        if (ec) return fail(theApp.GetLangString(lang::kFolderNotMade) + " " + wxString::FromUTF8(ec.message()));
    }
    if (!fs::is_directory(f, ec)) return fail(theApp.GetLangString(lang::kFolderIsFile));
    // A link that leads out of the image root is not followed.
    const fs::path realFolder = fs::canonical(f, ec);
    const fs::path realRoot = ec ? fs::path() : fs::canonical(r, ec);
    if (ec || realFolder.parent_path() != realRoot)
        return fail(theApp.GetLangString(lang::kFolderOutside));
    return true;
}
