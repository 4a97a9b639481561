#pragma once
// The customers of one reading of table info, as the records dialog lists
// them, hands them over and searches them: records are made from a row's
// stored values when they are asked for, so that 100,000 listed customers
// cost the reading (a few megabytes) and nothing per row beyond it.
#include <array>
#include <cstdint>
#include <vector>

#include <wx/string.h>

#include "customers/UserRecord.h"
#include "platform/ado/Ado.h"

class CustomerRows {
public:
    // A row's stored values, in the order of kFields.
    using Values = std::array<_variant_t, 10>;
    static constexpr const char* kFields[10] = {"Number", "Name",     "Sex",    "Phone",   "Email",
                                                "Age",    "Operator", "Remark", "Address", "Birthday"};

    CustomerRows() = default;
    // The rows of `reading` (which must hold the fields of kFields), with
    // `men` and `women` as the sex texts of their records.
    CustomerRows(ado::ReadingPtr reading, const wxString& men, const wxString& women);

    std::size_t size() const { return m_reading ? m_reading->GetCount() : 0; }
    bool empty() const { return size() == 0; }
    // Row `row` as a record of the list: every field as its value's text
    // (cut to the field), the sex as its text, the chosen flag 0.
    UserRecord operator[](std::size_t row) const { return Record(Stored(row)); }
    UserRecord Record(const Values& values) const;
    _variant_t Bookmark(std::size_t row) const { return m_reading->GetBookmark(row); }
    Values Stored(std::size_t row) const;
    // The text of list column `column` (0 Number, 1 Name, 2 Sex, 3 Age,
    // 4 Birthday, 5 Phone), as the row's record holds it.
    wxString ListText(std::size_t row, int column) const;
    // The largest number the rows' records start with (0 when none does).
    int MaxNumber() const;
    // The row `bookmark` names; -1 when it is not among them.
    long Find(const _variant_t& bookmark) const;
    // The rows whose field `field` (an index of kFields) reads as `text`,
    // whole and without regard to the case of Latin letters, as the list
    // shows it: a text another program stored in its own code page is found
    // by its reading too.  Byte values and nulls match nothing.
    std::vector<std::uint32_t> Matching(int field, const wxString& text) const;

private:
    ado::ReadingPtr m_reading;
    std::array<int, 10> m_field{};  // the reading's field of each of kFields
    wxString m_men, m_women;
};
