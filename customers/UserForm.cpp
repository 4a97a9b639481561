#include "customers/UserForm.h"

#include <regex>
#include <string>

namespace form {

wxString NumberText(int number) { return wxString::Format("%04d", number); }

wxString RemoveSpaces(const wxString& text) {
    wxString out = text;
    out.Replace(" ", "");
    return out;
}

wxString FormatBirthday(const wxDateTime& date) { return date.Format("%Y/%m/%d"); }

bool ParseBirthday(const wxString& text, wxDateTime& date) {
    const wxString trimmed = wxString(text).Trim(true).Trim(false);
    if (trimmed.empty()) return false;
    static const std::wregex kYearFirst(LR"(^(\d{4})[/.-](\d{1,2})[/.-](\d{1,2})(?:[ T]\d{1,2}:\d{2}(?::\d{2})?)?$)");
    std::wsmatch m;
    const std::wstring s = trimmed.ToStdWstring();
    if (std::regex_match(s, m, kYearFirst)) {
        const int year = std::stoi(m[1].str()), month = std::stoi(m[2].str()), day = std::stoi(m[3].str());
        if (month < 1 || month > 12) return false;
        const auto mon = static_cast<wxDateTime::Month>(month - 1);
        if (day < 1 || day > wxDateTime::GetNumberOfDays(mon, year)) return false;
        date = wxDateTime(static_cast<wxDateTime::wxDateTime_t>(day), mon, year);
        return date.IsValid();
    }
    wxDateTime parsed;
    wxString::const_iterator end;
    if (!parsed.ParseDate(trimmed, &end) || end != trimmed.end() || !parsed.IsValid()) return false;
    date = parsed;
    return true;
}

}  // namespace form
