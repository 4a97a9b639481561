#pragma once
// One customer as the program holds it in memory: ten fixed-length UTF-16
// fields, each NUL-terminated inside its array, and the chosen flag.  A plain
// value with no pointers, copied whole (fields and flag together).
#include <cstddef>
#include <type_traits>

#include <wx/string.h>

#include "platform/WinTypes.h"

struct UserRecord {
    char16_t szNumber[8];
    char16_t szName[20];
    char16_t szSex[4];       // display text of the sex (the pack's men or women text)
    char16_t szAge[4];
    char16_t szBirthday[20];
    char16_t szPhone[20];
    char16_t szEmail[20];
    char16_t szAddress[64];
    char16_t szOperator[20];
    char16_t szRemark[128];
    // 0 in every record of the customer list; 1 in the start page's current
    // record while it is a customer taken from the list.
    BOOL bChosen;
};

static_assert(std::is_trivially_copyable_v<UserRecord>);
static_assert(sizeof(BOOL) == 4);

namespace record {

// Copies `text` literally into a field of `capacity` units (NUL included):
// a longer text is cut to capacity - 1 units, and a cut never leaves half of
// a surrogate pair behind.
void FillField(char16_t* field, std::size_t capacity, const wxString& text);

// The text of a field up to its NUL (or its whole capacity when a field read
// from elsewhere carries none).
wxString FieldText(const char16_t* field, std::size_t capacity);

template <std::size_t N>
void FillField(char16_t (&field)[N], const wxString& text) {
    FillField(field, N, text);
}
template <std::size_t N>
wxString FieldText(const char16_t (&field)[N]) {
    return FieldText(field, N);
}

}  // namespace record
