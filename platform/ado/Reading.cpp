// A recordset's rows as one reading: the short values of every row packed
// one after the other, so that 100,000 rows take a few megabytes and no
// allocation each.
#include <algorithm>
#include <cstring>

#include "platform/ado/Ado.h"
#include "platform/ado/Database.h"

namespace ado {

namespace {

enum Tag : char { kNull, kInteger, kFloat, kText, kBytes };

constexpr std::size_t kBlock = 1 << 20;

template <class T>
T Load(const char* at) {
    T value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

// Where the value after the one at `at` starts.
const char* Skip(const char* at) {
    switch (static_cast<Tag>(*at)) {
        case kInteger:
        case kFloat: return at + 1 + 8;
        case kText:
        case kBytes: return at + 1 + 4 + Load<std::uint32_t>(at + 1);
        default: return at + 1;
    }
}

}  // namespace

int Reading::FindField(const wxString& name) const {
    for (std::size_t i = 0; i < m_names.size(); ++i)
        if (m_names[i].IsSameAs(name, false)) return static_cast<int>(i);
    return -1;
}

const char* Reading::ValueAt(std::size_t row, int slot) const {
    const char* at = m_blocks[m_starts[row].block].data() + m_starts[row].offset;
    for (int s = 0; s < slot; ++s) at = Skip(at);
    return at;
}

_variant_t Reading::GetValue(std::size_t row, int field) const {
    const int slot = m_slot[static_cast<std::size_t>(field)];
    if (slot < 0) return _variant_t();
    const char* at = ValueAt(row, slot);
    switch (static_cast<Tag>(*at)) {
        case kInteger: {
            const auto n = Load<std::int64_t>(at + 1);
            if (n >= INT32_MIN && n <= INT32_MAX) return _variant_t(static_cast<int>(n));
            return _variant_t(n);
        }
        case kFloat: return _variant_t(Load<double>(at + 1));
        case kText: return _variant_t::StoredText(at + 5, Load<std::uint32_t>(at + 1));
        case kBytes: return _variant_t::Bytes(at + 5, Load<std::uint32_t>(at + 1));
        default: return _variant_t::Null();
    }
}

Reading::Start Reading::Pack(sqlite3_stmt* st, const std::vector<int>& columns) {
    std::string& row = m_row;  // kept between rows, so that it is allocated once
    row.clear();
    for (int column : columns) {
        const int type = sqlite3_column_type(st, column);
        switch (type) {
            case SQLITE_INTEGER: {
                row += static_cast<char>(kInteger);
                const std::int64_t n = sqlite3_column_int64(st, column);
                row.append(reinterpret_cast<const char*>(&n), sizeof n);
                break;
            }
            case SQLITE_FLOAT: {
                row += static_cast<char>(kFloat);
                const double d = sqlite3_column_double(st, column);
                row.append(reinterpret_cast<const char*>(&d), sizeof d);
                break;
            }
            case SQLITE_TEXT:
            case SQLITE_BLOB: {
                // The text's own bytes, whatever their encoding.
                const void* data = type == SQLITE_TEXT ? static_cast<const void*>(sqlite3_column_text(st, column))
                                                       : sqlite3_column_blob(st, column);
                const auto size = static_cast<std::uint32_t>(sqlite3_column_bytes(st, column));
                row += static_cast<char>(type == SQLITE_TEXT ? kText : kBytes);
                row.append(reinterpret_cast<const char*>(&size), sizeof size);
                if (size) row.append(static_cast<const char*>(data), size);
                break;
            }
            default: row += static_cast<char>(kNull);
        }
    }
    // A row goes whole into the last block, or starts a new one.
    if (m_blocks.empty() || m_blocks.back().size() + m_row.size() > m_blocks.back().capacity()) {
        m_blocks.emplace_back();
        m_blocks.back().reserve(std::max<std::size_t>(kBlock, m_row.size()));
    }
    const Start start{static_cast<std::uint32_t>(m_blocks.size() - 1),
                      static_cast<std::uint32_t>(m_blocks.back().size())};
    m_blocks.back() += m_row;
    return start;
}

void Reading::AddRow(std::int64_t key, sqlite3_stmt* st, const std::vector<int>& columns) {
    m_starts.push_back(Pack(st, columns));
    m_keys.push_back(key);
}

void Reading::ReplaceRow(std::size_t row, sqlite3_stmt* st, const std::vector<int>& columns) {
    // The old values stay where they are, unused: a row is written seldom.
    m_starts[row] = Pack(st, columns);
}

void Reading::EraseRow(std::size_t row) {
    m_keys.erase(m_keys.begin() + static_cast<std::ptrdiff_t>(row));
    m_starts.erase(m_starts.begin() + static_cast<std::ptrdiff_t>(row));
}

}  // namespace ado
