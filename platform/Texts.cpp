#include "platform/Texts.h"

namespace plat {

namespace {
std::function<wxString(const LangText&)>& Lookup() {
    static std::function<wxString(const LangText&)> lookup;
    return lookup;
}
}  // namespace

void SetTextLookup(std::function<wxString(const LangText&)> lookup) { Lookup() = std::move(lookup); }

wxString Text(const LangText& text) {
    if (const auto& lookup = Lookup()) return lookup(text);
    return wxString::FromUTF8(text.english);
}

wxString Text(const LangText& text, const wxString& value) {
    wxString shown = Text(text);
    shown.Replace("%1", value);
    return shown;
}

}  // namespace plat
