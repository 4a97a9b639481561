#include <algorithm>
#include <climits>

#include "platform/ado/Ado.h"
#include "platform/ado/Database.h"

using ado::StatementUse;

namespace {

[[noreturn]] void NoCurrentRow() {
    throw _com_error(adErrNoCurrentRecord, "There is no current row: the recordset is at BOF or EOF.");
}

// Whether a value of this type can be written to the database.
bool Storable(VARTYPE vt) {
    switch (vt) {
        case VT_EMPTY: case VT_NULL:
        case VT_I1: case VT_UI1: case VT_I2: case VT_UI2: case VT_I4: case VT_UI4:
        case VT_INT: case VT_UINT: case VT_I8: case VT_UI8:
        case VT_R4: case VT_R8: case VT_BOOL:
        case VT_BSTR: case VT_LPSTR: case VT_LPWSTR:
        case VT_ARRAY | VT_UI1:
            return true;
        default:
            return false;
    }
}

void Bind(sqlite3_stmt* st, int index, const _variant_t& v) {
    switch (v.vt) {
        case VT_I1: sqlite3_bind_int64(st, index, v.cVal); break;
        case VT_UI1: sqlite3_bind_int64(st, index, v.bVal); break;
        case VT_I2: sqlite3_bind_int64(st, index, v.iVal); break;
        case VT_UI2: sqlite3_bind_int64(st, index, v.uiVal); break;
        case VT_I4: sqlite3_bind_int64(st, index, v.lVal); break;
        case VT_UI4: sqlite3_bind_int64(st, index, v.ulVal); break;
        case VT_INT: sqlite3_bind_int64(st, index, v.intVal); break;
        case VT_UINT: sqlite3_bind_int64(st, index, v.uintVal); break;
        case VT_I8: sqlite3_bind_int64(st, index, v.llVal); break;
        case VT_UI8:
            if (v.ullVal > static_cast<std::uint64_t>(INT64_MAX))
                throw _com_error(adErrDataConversion, "The number is too large to be stored.");
            sqlite3_bind_int64(st, index, static_cast<sqlite3_int64>(v.ullVal));
            break;
        case VT_R4: sqlite3_bind_double(st, index, v.fltVal); break;
        case VT_R8: sqlite3_bind_double(st, index, v.dblVal); break;
        case VT_BOOL: sqlite3_bind_int64(st, index, v.boolVal ? -1 : 0); break;
        case VT_BSTR: case VT_LPSTR: case VT_LPWSTR: {
            const wxScopedCharBuffer utf8 = v.text.utf8_str();
            sqlite3_bind_text(st, index, utf8.data(), static_cast<int>(utf8.length()), SQLITE_TRANSIENT);
            break;
        }
        case VT_ARRAY | VT_UI1:
            // An empty array is an empty value, not null.
            if (v.bytes.empty()) sqlite3_bind_zeroblob(st, index, 0);
            else sqlite3_bind_blob64(st, index, v.bytes.data(), v.bytes.size(), SQLITE_TRANSIENT);
            break;
        default: sqlite3_bind_null(st, index); break;
    }
}

_variant_t ColumnValue(sqlite3_stmt* st, int column) {
    switch (sqlite3_column_type(st, column)) {
        case SQLITE_INTEGER: {
            const sqlite3_int64 n = sqlite3_column_int64(st, column);
            if (n >= INT32_MIN && n <= INT32_MAX) return _variant_t(static_cast<int>(n));
            return _variant_t(static_cast<std::int64_t>(n));
        }
        case SQLITE_FLOAT: return _variant_t(sqlite3_column_double(st, column));
        case SQLITE_TEXT: {
            const char* text = reinterpret_cast<const char*>(sqlite3_column_text(st, column));
            return _variant_t(wxString::FromUTF8(text, sqlite3_column_bytes(st, column)));
        }
        case SQLITE_BLOB: {
            const void* data = sqlite3_column_blob(st, column);
            return _variant_t::Bytes(data, static_cast<std::size_t>(sqlite3_column_bytes(st, column)));
        }
        default: return _variant_t::Null();
    }
}

// The bytes a pending value stands for in piecewise reads.
std::vector<BYTE> PendingBytes(const _variant_t& v) {
    if (v.IsByteArray()) return v.bytes;
    if (v.vt == VT_BSTR || v.vt == VT_LPSTR || v.vt == VT_LPWSTR) {
        const wxScopedCharBuffer utf8 = v.text.utf8_str();
        return std::vector<BYTE>(utf8.data(), utf8.data() + utf8.length());
    }
    return {};
}

}  // namespace

Recordset::Recordset() = default;
Recordset::~Recordset() { ClosePieceBlob(); }

void Recordset::Open(const wxString& source, const _ConnectionPtr& activeConnection, CursorTypeEnum,
                     LockTypeEnum, long) {
    if (m_open) throw _com_error(adErrObjectOpen, "The recordset is already open.");
    if (!activeConnection) throw _com_error(E_POINTER, "There is no database connection.");
    std::shared_ptr<ado::Database> db = activeConnection->GetDatabase();
    if (!db || !db->Handle()) throw _com_error(adErrObjectClosed, "The database connection is not open.");
    sqlite3* h = db->Handle();

    const std::string sql(source.utf8_str());
    ado::Statement query;
    const char* tail = nullptr;
    if (sqlite3_prepare_v2(h, sql.c_str(), -1, &query, &tail) != SQLITE_OK) db->Fail();
    if (!static_cast<sqlite3_stmt*>(query)) throw _com_error(E_FAIL, "The SQL text holds no statement.");
    // Only one statement per text: whatever follows must be blanks or comments.
    while (tail && *tail) {
        ado::Statement next;
        if (sqlite3_prepare_v2(h, tail, -1, &next, &tail) != SQLITE_OK) db->Fail();
        if (static_cast<sqlite3_stmt*>(next))
            throw _com_error(E_FAIL, "Characters found after the end of the SQL statement.");
    }

    const int count = sqlite3_column_count(query);
    if (count == 0) {
        if (sqlite3_step(query) != SQLITE_DONE) db->Fail();
        return;  // a command: nothing to keep, the recordset stays closed
    }

    // The rows are kept by row id, so the query must name one table's rows.
    std::vector<Column> columns;
    std::string table;
    bool oneTable = true;
    for (int i = 0; i < count; ++i) {
        const char* t = sqlite3_column_table_name(query, i);
        const char* origin = sqlite3_column_origin_name(query, i);
        const char* name = sqlite3_column_name(query, i);
        if (!t || !origin || (i > 0 && table != t)) {
            oneTable = false;
            break;
        }
        table = t;
        columns.push_back({wxString::FromUTF8(name ? name : origin), origin});
    }
    const ado::SelectShape shape = ado::AnalyseSelect(sql);
    const wxString notOneTable = "Only the columns of one table can be opened as a recordset: " + source;
    if (!oneTable || !shape.plainSelect) throw _com_error(E_FAIL, notOneTable);

    const std::string keyed = sql.substr(0, shape.afterSelect) + " _rowid_," + sql.substr(shape.afterSelect);
    ado::Statement keys;
    if (sqlite3_prepare_v2(h, keyed.c_str(), -1, &keys, nullptr) != SQLITE_OK ||
        sqlite3_column_count(keys) != count + 1 || !sqlite3_column_table_name(keys, 0) ||
        table != sqlite3_column_table_name(keys, 0) || !sqlite3_column_origin_name(keys, 0) ||
        std::string("rowid") != sqlite3_column_origin_name(keys, 0))
        throw _com_error(E_FAIL, notOneTable);
    std::vector<std::int64_t> rowIds;
    int rc;
    while ((rc = sqlite3_step(keys)) == SQLITE_ROW) rowIds.push_back(sqlite3_column_int64(keys, 0));
    if (rc != SQLITE_DONE) db->Fail();
    // Row ids grow with every insert, so their order is the insertion order.
    if (!shape.ordered) std::stable_sort(rowIds.begin(), rowIds.end());

    m_db = std::move(db);
    m_table = table;
    m_columns = std::move(columns);
    m_keys = std::move(rowIds);
    m_pos = 0;
    m_currentDeleted = false;
    m_edit = adEditNone;
    m_pending.clear();
    m_appended.assign(m_columns.size(), false);
    m_chunkOffset.assign(m_columns.size(), 0);
    m_open = true;
    ++m_generation;
}

void Recordset::Close() {
    if (!m_open) return;
    ClosePieceBlob();
    m_open = false;
    ++m_generation;
    m_pending.clear();
    m_edit = adEditNone;
    m_keys.clear();
    m_columns.clear();
    m_db.reset();
}

long Recordset::GetState() const { return m_open ? adStateOpen : adStateClosed; }

void Recordset::RequireOpen() const {
    if (!m_open) throw _com_error(adErrObjectClosed, "The recordset is closed.");
}

void Recordset::RequireRow() const {
    RequireOpen();
    if (m_edit == adEditAdd) return;
    if (m_currentDeleted)
        throw _com_error(adErrNoCurrentRecord, "The current row has been deleted.");
    if (m_pos >= m_keys.size()) NoCurrentRow();
}

bool Recordset::GetBOF() const {
    RequireOpen();
    return m_edit != adEditAdd && m_keys.empty();
}

bool Recordset::GetEOF() const {
    RequireOpen();
    return m_edit != adEditAdd && m_pos >= m_keys.size();
}

void Recordset::ResetPieces() {
    ClosePieceBlob();
    m_appended.assign(m_columns.size(), false);
    m_chunkOffset.assign(m_columns.size(), 0);
}

void Recordset::Leave() {
    if (m_edit != adEditNone) Update();
    ResetPieces();
}

void Recordset::MoveFirst() {
    RequireOpen();
    Leave();
    m_currentDeleted = false;
    m_pos = 0;
}

void Recordset::MoveLast() {
    RequireOpen();
    Leave();
    m_currentDeleted = false;
    m_pos = m_keys.empty() ? 0 : m_keys.size() - 1;
}

void Recordset::MoveNext() {
    RequireOpen();
    // The deleted row's place already holds the next row.
    if (!m_currentDeleted && m_edit != adEditAdd && m_pos >= m_keys.size()) NoCurrentRow();
    const bool deleted = m_currentDeleted;
    Leave();
    m_currentDeleted = false;
    if (!deleted) ++m_pos;
}

int Recordset::FindField(const wxString& name) const {
    RequireOpen();
    for (std::size_t i = 0; i < m_columns.size(); ++i)
        if (m_columns[i].name.IsSameAs(name, false)) return static_cast<int>(i);
    throw _com_error(adErrItemNotFound, "The recordset has no field named " + name + ".");
}

std::int64_t Recordset::CurrentKey() const { return m_keys[m_pos]; }

std::string Recordset::ColumnSql(const char* expression, int field) const {
    std::string column = ado::QuoteIdentifier(m_columns[field].origin);
    std::string text = expression;
    text.replace(text.find('@'), 1, column);
    return "SELECT " + text + " FROM " + ado::QuoteIdentifier(m_table) + " WHERE _rowid_ = ?1";
}

_variant_t Recordset::Value(int field) {
    RequireRow();
    auto pending = m_pending.find(field);
    if (pending != m_pending.end()) return pending->second;
    if (m_edit == adEditAdd) return _variant_t::Null();
    sqlite3_stmt* st = m_db->Cached(ColumnSql("@", field));
    StatementUse use(st);
    sqlite3_bind_int64(st, 1, CurrentKey());
    const int rc = sqlite3_step(st);
    if (rc == SQLITE_ROW) return ColumnValue(st, 0);
    if (rc == SQLITE_DONE) throw _com_error(adErrNoCurrentRecord, "The current row no longer exists.");
    m_db->Fail();
}

_variant_t Recordset::GetCollect(const wxString& field) { return Value(FindField(field)); }

void Recordset::PutValue(int field, const _variant_t& value) {
    RequireRow();
    if (!Storable(value.vt))
        throw _com_error(adErrDataConversion,
                         wxString::Format("A value of variant type %u cannot be stored.", unsigned(value.vt)));
    if (m_edit == adEditNone) m_edit = adEditInProgress;
    m_pending[field] = value;
}

void Recordset::PutCollect(const wxString& field, const _variant_t& value) { PutValue(FindField(field), value); }

void Recordset::AddNew() {
    RequireOpen();
    if (m_edit != adEditNone) Update();
    m_edit = adEditAdd;
    m_pending.clear();
    ResetPieces();
}

void Recordset::Update() {
    RequireOpen();
    if (m_edit == adEditNone) return;
    std::string sql;
    std::string names, values, sets;
    int n = 0;
    for (const auto& entry : m_pending) {
        const std::string column = ado::QuoteIdentifier(m_columns[entry.first].origin);
        const std::string param = "?" + std::to_string(++n);
        if (n > 1) names += ", ", values += ", ", sets += ", ";
        names += column;
        values += param;
        sets += column + " = " + param;
    }
    const std::string table = ado::QuoteIdentifier(m_table);
    if (m_edit == adEditAdd) {
        sql = n == 0 ? "INSERT INTO " + table + " DEFAULT VALUES"
                     : "INSERT INTO " + table + " (" + names + ") VALUES (" + values + ")";
    } else {
        RequireRow();
        if (n == 0) {
            m_edit = adEditNone;
            return;
        }
        sql = "UPDATE " + table + " SET " + sets + " WHERE _rowid_ = ?" + std::to_string(n + 1);
    }
    sqlite3_stmt* st = m_db->Cached(sql);
    {
        StatementUse use(st);
        int index = 0;
        for (const auto& entry : m_pending) Bind(st, ++index, entry.second);
        if (m_edit == adEditInProgress) sqlite3_bind_int64(st, n + 1, CurrentKey());
        if (sqlite3_step(st) != SQLITE_DONE) m_db->Fail();
    }
    if (m_edit == adEditAdd) {
        m_keys.push_back(sqlite3_last_insert_rowid(m_db->Handle()));
        m_pos = m_keys.size() - 1;
        m_currentDeleted = false;
    } else if (sqlite3_changes(m_db->Handle()) == 0) {
        throw _com_error(adErrNoCurrentRecord, "The row to be updated no longer exists.");
    }
    m_pending.clear();
    m_edit = adEditNone;
    ResetPieces();
}

void Recordset::CancelUpdate() {
    RequireOpen();
    m_pending.clear();
    m_edit = adEditNone;
    ResetPieces();
}

void Recordset::Delete(AffectEnum) {
    RequireOpen();
    if (m_edit == adEditAdd) {
        CancelUpdate();  // the new row was never stored
        return;
    }
    RequireRow();
    sqlite3_stmt* st = m_db->Cached("DELETE FROM " + ado::QuoteIdentifier(m_table) + " WHERE _rowid_ = ?1");
    {
        StatementUse use(st);
        sqlite3_bind_int64(st, 1, CurrentKey());
        if (sqlite3_step(st) != SQLITE_DONE) m_db->Fail();
    }
    const bool gone = sqlite3_changes(m_db->Handle()) == 1;
    m_pending.clear();
    m_edit = adEditNone;
    ResetPieces();
    m_keys.erase(m_keys.begin() + static_cast<std::ptrdiff_t>(m_pos));
    m_currentDeleted = true;
    if (!gone) throw _com_error(adErrNoCurrentRecord, "The row to be deleted no longer exists.");
}

FieldsPtr Recordset::GetFields() {
    RequireOpen();
    return FieldsPtr(std::make_shared<Fields>(shared_from_this(), m_generation));
}

long Recordset::ActualSize(int field) {
    RequireRow();
    auto pending = m_pending.find(field);
    if (pending != m_pending.end()) return static_cast<long>(PendingBytes(pending->second).size());
    if (m_edit == adEditAdd) return 0;
    sqlite3_stmt* st = m_db->Cached(ColumnSql("length(CAST(@ AS BLOB))", field));
    StatementUse use(st);
    sqlite3_bind_int64(st, 1, CurrentKey());
    const int rc = sqlite3_step(st);
    if (rc == SQLITE_ROW) return static_cast<long>(sqlite3_column_int64(st, 0));
    if (rc == SQLITE_DONE) throw _com_error(adErrNoCurrentRecord, "The current row no longer exists.");
    m_db->Fail();
}

_variant_t Recordset::GetChunk(int field, long bytes) {
    RequireRow();
    if (bytes < 0) throw _com_error(E_INVALIDARG, "A piece cannot have a negative size.");
    const std::int64_t offset = m_chunkOffset[field];
    auto pending = m_pending.find(field);
    if (pending != m_pending.end() || m_edit == adEditAdd) {
        const std::vector<BYTE> all =
            pending != m_pending.end() ? PendingBytes(pending->second) : std::vector<BYTE>();
        if (offset >= static_cast<std::int64_t>(all.size())) return _variant_t::Null();
        const std::size_t k = std::min<std::size_t>(static_cast<std::size_t>(bytes), all.size() - offset);
        m_chunkOffset[field] += static_cast<std::int64_t>(k);
        return _variant_t::Bytes(all.data() + offset, k);
    }
    // Read through the engine's incremental access: only the piece is loaded.
    // The handle stays open from piece to piece, as reopening it walks the
    // value's pages from its start every time.
    if (m_pieceBlob && (m_pieceField != field || !m_db->Handle())) ClosePieceBlob();
    if (!m_pieceBlob) {
        if (offset >= ActualSize(field)) return _variant_t::Null();
        if (sqlite3_blob_open(m_db->Handle(), "main", m_table.c_str(), m_columns[field].origin.c_str(),
                              CurrentKey(), 0, &m_pieceBlob) != SQLITE_OK) {
            ClosePieceBlob();
            m_db->Fail();
        }
        m_pieceField = field;
    }
    const std::int64_t size = sqlite3_blob_bytes(m_pieceBlob);
    if (offset >= size) {
        ClosePieceBlob();
        return _variant_t::Null();
    }
    const int k = static_cast<int>(std::min<std::int64_t>(bytes, size - offset));
    _variant_t piece = _variant_t::Bytes(nullptr, 0);
    piece.bytes.resize(static_cast<std::size_t>(k));
    if (sqlite3_blob_read(m_pieceBlob, piece.bytes.data(), k, static_cast<int>(offset)) != SQLITE_OK) {
        const _com_error error(E_FAIL, wxString::FromUTF8(sqlite3_errmsg(m_db->Handle())));
        ClosePieceBlob();
        throw error;
    }
    m_chunkOffset[field] += k;
    // Read to its end: the handle's read of the file ends too.
    if (m_chunkOffset[field] >= size) ClosePieceBlob();
    return piece;
}

void Recordset::ClosePieceBlob() {
    sqlite3_blob_close(m_pieceBlob);
    m_pieceBlob = nullptr;
    m_pieceField = -1;
}

void Recordset::AppendChunk(int field, const _variant_t& data) {
    RequireRow();
    if (!data.IsByteArray()) throw _com_error(adErrDataConversion, "Only byte arrays can be appended.");
    if (m_edit == adEditNone) m_edit = adEditInProgress;
    auto pending = m_pending.find(field);
    if (!m_appended[field] || pending == m_pending.end() || !pending->second.IsByteArray()) {
        m_pending[field] = data;
    } else {
        std::vector<BYTE>& bytes = pending->second.bytes;
        bytes.insert(bytes.end(), data.bytes.begin(), data.bytes.end());
    }
    m_appended[field] = true;
}

Fields::Fields(std::shared_ptr<Recordset> rs, unsigned generation)
    : m_rs(std::move(rs)), m_generation(generation) {}

Recordset& Fields::Rs() {
    m_rs->RequireOpen();
    if (m_rs->m_generation != m_generation) throw _com_error(adErrObjectClosed, "The recordset was reopened.");
    return *m_rs;
}

FieldPtr Fields::GetItem(const wxString& name) {
    const int index = Rs().FindField(name);
    return FieldPtr(std::make_shared<Field>(m_rs, index, m_generation));
}

long Fields::GetCount() { return static_cast<long>(Rs().m_columns.size()); }

Field::Field(std::shared_ptr<Recordset> rs, int index, unsigned generation)
    : m_rs(std::move(rs)), m_index(index), m_generation(generation) {}

Recordset& Field::Rs() {
    m_rs->RequireOpen();
    if (m_rs->m_generation != m_generation) throw _com_error(adErrObjectClosed, "The recordset was reopened.");
    return *m_rs;
}

wxString Field::GetName() { return Rs().m_columns[m_index].name; }
_variant_t Field::GetValue() { return Rs().Value(m_index); }
void Field::PutValue(const _variant_t& value) { Rs().PutValue(m_index, value); }
long Field::GetActualSize() { return Rs().ActualSize(m_index); }
_variant_t Field::GetChunk(long bytes) { return Rs().GetChunk(m_index, bytes); }
void Field::AppendChunk(const _variant_t& data) { Rs().AppendChunk(m_index, data); }
