#include "customers/UserForm.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <regex>
#include <string>

namespace form {

wxString NumberText(int number) { return wxString::Format("%04d", number); }

int LeadingNumber(const wxString& text) {
    auto it = text.begin();
    while (it != text.end() && (*it == ' ' || *it == '\t' || *it == '\n' || *it == '\r' || *it == '\v' || *it == '\f'))
        ++it;
    bool negative = false;
    if (it != text.end() && (*it == '+' || *it == '-')) {
        negative = *it == '-';
        ++it;
    }
    long long value = 0;
    for (; it != text.end() && *it >= '0' && *it <= '9'; ++it) {
        value = value * 10 + static_cast<int>((*it).GetValue() - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) value = -value;
    if (value > INT_MAX) value = INT_MAX;
    return static_cast<int>(value);
}

wxString RemoveSpaces(const wxString& text) {
    wxString out = text;
    out.Replace(" ", "");
    return out;
}

wxString FormatBirthday(const wxDateTime& date) { return date.Format("%Y/%m/%d"); }

bool ParseBirthday(const wxString& text, wxDateTime& date) {
    const wxString trimmed = wxString(text).Trim(true).Trim(false);
    if (trimmed.empty()) return false;
    static const std::wregex kYearFirst(LR"(^(\d{4})[/.-](\d{1,2})[/.-](\d{1,2})(?:[ T]\\d{1,2}:\\d{2}(?::\\d{2})?)?$)");
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

bool FileReadable(const wxString& path, wxString* reason) {
    if (FILE* f = std::fopen(path.utf8_string().c_str(), "rb")) {
        std::fclose(f);
        return true;
    }
    const int error = errno;
    if (reason) *reason = wxString::Format("%s: %s", path, wxString::FromUTF8(std::strerror(error)));
    return false;
}

}  // namespace form
