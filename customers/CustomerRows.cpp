#include "customers/CustomerRows.h"

#include "customers/UserDataDlg.h"
#include "platform/Crt.h"

namespace {

enum { kNumber, kName, kSex, kPhone, kEmail, kAge, kOperator, kRemark, kAddress, kBirthday };

// The list's columns: the value each shows and the room its record field has.
struct ListColumn {
    int field;
    std::size_t capacity;
};
constexpr ListColumn kListColumns[6] = {{kNumber, 8}, {kName, 20}, {kSex, 4},
                                        {kAge, 4},    {kBirthday, 20}, {kPhone, 20}};

// `text` as a record field of `capacity` units holds it.
wxString Cut(const wxString& text, std::size_t capacity) {
    if (text.length() * 2 < capacity) return text;  // fits, even as pairs
    char16_t field[128];
    record::FillField(field, capacity, text);
    return record::FieldText(field, capacity);
}

// Equal with the Latin letters A-Z taken as a-z, as the table compares its texts.
bool SameText(const wxString& a, const wxString& b) {
    if (a.length() != b.length()) return false;
    for (auto i = a.begin(), j = b.begin(); i != a.end(); ++i, ++j) {
        wxUniChar x = *i, y = *j;
        if (x >= 'A' && x <= 'Z') x = x.GetValue() + 32;
        if (y >= 'A' && y <= 'Z') y = y.GetValue() + 32;
        if (x != y) return false;
    }
    return true;
}

}  // namespace

CustomerRows::CustomerRows(ado::ReadingPtr reading, const wxString& men, const wxString& women)
    : m_reading(std::move(reading)), m_men(men), m_women(women) {
    for (std::size_t i = 0; i < m_field.size(); ++i) m_field[i] = m_reading->FindField(kFields[i]);
}

CustomerRows::Values CustomerRows::Stored(std::size_t row) const {
    Values values;
    for (std::size_t i = 0; i < values.size(); ++i)
        if (m_field[i] >= 0) values[i] = m_reading->GetValue(row, m_field[i]);
    return values;
}

UserRecord CustomerRows::Record(const Values& v) const {
    UserRecord rec{};
    rec.bChosen = 0;
    record::FillField(rec.szNumber, VariantToString(v[kNumber]));
    record::FillField(rec.szName, VariantToString(v[kName]));
    record::FillField(rec.szSex, VariantToString(v[kSex]) == "0" ? m_men : m_women);
    record::FillField(rec.szAge, VariantToString(v[kAge]));
    record::FillField(rec.szBirthday, VariantToString(v[kBirthday]));
    record::FillField(rec.szPhone, VariantToString(v[kPhone]));
    record::FillField(rec.szEmail, VariantToString(v[kEmail]));
    record::FillField(rec.szAddress, VariantToString(v[kAddress]));
    record::FillField(rec.szOperator, VariantToString(v[kOperator]));
    record::FillField(rec.szRemark, VariantToString(v[kRemark]));
    return rec;
}

wxString CustomerRows::ListText(std::size_t row, int column) const {
    if (column < 0 || column >= 6 || row >= size()) return wxString();
    const ListColumn& c = kListColumns[column];
    const int field = m_field[static_cast<std::size_t>(c.field)];
    const wxString text = field < 0 ? wxString() : VariantToString(m_reading->GetValue(row, field));
    if (c.field == kSex) return text == "0" ? Cut(m_men, c.capacity) : Cut(m_women, c.capacity);
    return Cut(text, c.capacity);
}

int CustomerRows::MaxNumber() const {
    int most = 0;
    const int field = m_field[kNumber];
    if (field < 0) return 0;
    for (std::size_t row = 0; row < size(); ++row) {
        const int n = _wtoi(Cut(VariantToString(m_reading->GetValue(row, field)), 8));
        if (n > most) most = n;
    }
    return most;
}

long CustomerRows::Find(const _variant_t& bookmark) const {
    for (std::size_t row = 0; row < size(); ++row)
        if (m_reading->GetBookmark(row).SameAs(bookmark)) return static_cast<long>(row);
    return -1;
}

std::vector<std::uint32_t> CustomerRows::Matching(int field, const wxString& text) const {
    std::vector<std::uint32_t> rows;
    const int f = m_field[static_cast<std::size_t>(field)];
    if (f < 0) return rows;
    for (std::size_t row = 0; row < size(); ++row) {
        const _variant_t value = m_reading->GetValue(row, f);
        if (value.IsNull() || value.IsByteArray()) continue;
        if (SameText(VariantToString(value), text)) rows.push_back(static_cast<std::uint32_t>(row));
    }
    return rows;
}
