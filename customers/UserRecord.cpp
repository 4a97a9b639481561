#include "customers/UserRecord.h"

#include <string>

namespace record {

void FillField(char16_t* field, std::size_t capacity, const wxString& text) {
    if (!field || capacity == 0) return;
    const std::size_t room = capacity - 1;
    std::size_t n = 0;
    for (wxString::const_iterator it = text.begin(); it != text.end(); ++it) {
        const char32_t c = static_cast<char32_t>((*it).GetValue());
        if (c >= 0x10000 && c <= 0x10FFFF) {
            // A pair that does not fit whole is left out whole.
            if (n + 2 > room) break;
            const char32_t v = c - 0x10000;
            field[n++] = static_cast<char16_t>(0xD800 + (v >> 10));
            field[n++] = static_cast<char16_t>(0xDC00 + (v & 0x3FF));
        } else {
            if (n + 1 > room) break;
            field[n++] = static_cast<char16_t>(c <= 0xFFFF ? c : 0xFFFD);
        }
    }
    for (std::size_t i = n; i < capacity; ++i) field[i] = u'\0';
}

wxString FieldText(const char16_t* field, std::size_t capacity) {
    wxString out;
    if (!field) return out;
    for (std::size_t i = 0; i < capacity && field[i] != u'\0'; ++i) {
        const char16_t u = field[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < capacity && field[i + 1] >= 0xDC00 &&
            field[i + 1] <= 0xDFFF) {
            const char32_t c = 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) +
                               (static_cast<char32_t>(field[i + 1]) - 0xDC00);
            out += wxUniChar(static_cast<wxUint32>(c));
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            out += wxUniChar(0xFFFD);  // a lone half of a pair
        } else {
            out += wxUniChar(static_cast<wxUint32>(u));
        }
    }
    return out;
}

}  // namespace record
