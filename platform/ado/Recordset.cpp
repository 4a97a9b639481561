#include <algorithm>
#include <climits>

#include "platform/ado/Ado.h"
#include "platform/ado/Database.h"
#include "platform/ado/StagedValue.h"

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

// The engine's answer: SQLITE_OK, or why it refused the value.
int Bind(sqlite3_stmt* st, int index, const _variant_t& v) {
    switch (v.vt) {
        case VT_I1: return sqlite3_bind_int64(st, index, v.cVal);
        case VT_UI1: return sqlite3_bind_int64(st, index, v.bVal);
        case VT_I2: return sqlite3_bind_int64(st, index, v.iVal);
        case VT_UI2: return sqlite3_bind_int64(st, index, v.uiVal);
        case VT_I4: return sqlite3_bind_int64(st, index, v.lVal);
        case VT_UI4: return sqlite3_bind_int64(st, index, v.ulVal);
        case VT_INT: return sqlite3_bind_int64(st, index, v.intVal);
        case VT_UINT: return sqlite3_bind_int64(st, index, v.uintVal);
        case VT_I8: return sqlite3_bind_int64(st, index, v.llVal);
        case VT_UI8:
            if (v.ullVal > static_cast<std::uint64_t>(INT64_MAX))
                throw _com_error(adErrDataConversion, "The number is too large to be stored.");
            return sqlite3_bind_int64(st, index, static_cast<sqlite3_int64>(v.ullVal));
        case VT_R4: return sqlite3_bind_double(st, index, v.fltVal);
        case VT_R8: return sqlite3_bind_double(st, index, v.dblVal);
        case VT_BOOL: return sqlite3_bind_int64(st, index, v.boolVal ? -1 : 0);
        case VT_BSTR: case VT_LPSTR: case VT_LPWSTR: {
            // A text read in another encoding goes back in its own bytes.
            if (!v.bytes.empty())
                return sqlite3_bind_text64(st, index, reinterpret_cast<const char*>(v.bytes.data()), v.bytes.size(),
                                           SQLITE_TRANSIENT, SQLITE_UTF8);
            const wxScopedCharBuffer utf8 = v.text.utf8_str();
            return sqlite3_bind_text64(st, index, utf8.data(), utf8.length(), SQLITE_TRANSIENT, SQLITE_UTF8);
        }
        case VT_ARRAY | VT_UI1:
            // An empty array is an empty value, not null.
            if (v.bytes.empty()) return sqlite3_bind_zeroblob(st, index, 0);
            return sqlite3_bind_blob64(st, index, v.bytes.data(), v.bytes.size(), SQLITE_TRANSIENT);
        default: return sqlite3_bind_null(st, index);
    }
}

// A column declared to hold bytes of any length (the photo).
bool IsLongType(const char* declared) {
    if (!declared) return false;
    std::string type(declared);
    std::transform(type.begin(), type.end(), type.begin(), [](unsigned char c) { return std::toupper(c); });
    return type.find("BLOB") != std::string::npos || type.find("BINARY") != std::string::npos;
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
            return _variant_t::StoredText(text, static_cast<std::size_t>(sqlite3_column_bytes(st, column)));
        }
        case SQLITE_BLOB: {
            const void* data = sqlite3_column_blob(st, column);
            return _variant_t::Bytes(data, static_cast<std::size_t>(sqlite3_column_bytes(st, column)));
        }
        default: return _variant_t::Null();
    }
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
        const char* declared = sqlite3_column_decltype(query, i);
        columns.push_back({wxString::FromUTF8(name ? name : origin), origin, IsLongType(declared)});
    }
    const ado::SelectShape shape = ado::AnalyseSelect(sql);
    const wxString notOneTable = "Only the columns of one table can be opened as a recordset: " + source;
    if (!oneTable || !shape.plainSelect) throw _com_error(E_FAIL, notOneTable);

    // One statement reads the rows: the row id and the short values, under
    // the query's own names so that its WHERE and ORDER BY read as written.
    // Long values stay out, or every row's photo would be read whole.  Rows
    // without an order of the query's own come in insertion order (row ids
    // grow with every insert); a LIMIT then keeps the first ones added.
    std::string rest = sql.substr(shape.from, shape.end - shape.from);
    if (!shape.ordered) {
        if (shape.limit != 0)
            rest.insert(shape.limit - shape.from, "ORDER BY _rowid_ ");
        else
            rest += "\nORDER BY _rowid_";  // after a closing comment, if any
    }
    auto reads = [&](sqlite3_stmt* st, int expected) {
        return sqlite3_column_count(st) == expected && sqlite3_column_table_name(st, 0) &&
               table == sqlite3_column_table_name(st, 0) && sqlite3_column_origin_name(st, 0) &&
               std::string("rowid") == sqlite3_column_origin_name(st, 0);
    };
    ado::Statement rows;
    std::vector<int> shortColumns;  // the statement's column of each short value
    std::string select = "SELECT _rowid_";
    for (const Column& c : columns) {
        if (c.longValue) continue;
        select += ", " + ado::QuoteIdentifier(c.origin) + " AS " +
                  ado::QuoteIdentifier(std::string(c.name.utf8_str()));
        shortColumns.push_back(static_cast<int>(shortColumns.size()) + 1);
    }
    if (sqlite3_prepare_v2(h, (select + " " + rest).c_str(), -1, &rows, nullptr) != SQLITE_OK ||
        !reads(rows, static_cast<int>(shortColumns.size()) + 1)) {
        // The query names a long value by an alias of its own: it keeps its
        // columns, long values read along.
        rows.Reset();
        shortColumns.clear();
        const std::string keyed = sql.substr(0, shape.afterSelect) + " _rowid_," +
                                  sql.substr(shape.afterSelect, shape.from - shape.afterSelect) + rest;
        if (sqlite3_prepare_v2(h, keyed.c_str(), -1, &rows, nullptr) != SQLITE_OK || !reads(rows, count + 1))
            throw _com_error(E_FAIL, notOneTable);
        for (int i = 0; i < count; ++i)
            if (!columns[static_cast<std::size_t>(i)].longValue) shortColumns.push_back(i + 1);
    }
    auto reading = std::make_shared<ado::Reading>();
    int slots = 0;
    for (const Column& c : columns) {
        reading->m_names.push_back(c.name);
        reading->m_slot.push_back(c.longValue ? -1 : slots++);
    }
    int rc;
    while ((rc = sqlite3_step(rows)) == SQLITE_ROW)
        reading->AddRow(sqlite3_column_int64(rows, 0), rows, shortColumns);
    // A reading that stops halfway is no reading: nothing of it is kept.
    if (rc != SQLITE_DONE) db->Fail(rc);
    rows.Reset();
    // Every column of the table shares a row's room, also those not selected.
    std::vector<std::string> tableColumns;
    {
        sqlite3_stmt* st = db->Cached("SELECT name FROM pragma_table_info(?1)");
        StatementUse use(st);
        db->Check(sqlite3_bind_text(st, 1, table.c_str(), -1, SQLITE_TRANSIENT));
        while ((rc = sqlite3_step(st)) == SQLITE_ROW)
            tableColumns.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
        if (rc != SQLITE_DONE) db->Fail(rc);
    }

    m_db = std::move(db);
    m_table = table;
    m_columns = std::move(columns);
    m_tableColumns = std::move(tableColumns);
    m_storedSizes.clear();
    m_reading = std::move(reading);
    m_pos = 0;
    m_currentDeleted = false;
    m_edit = adEditNone;
    m_pending.clear();
    m_original.clear();
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
    DiscardEdit();
    m_reading = std::make_shared<ado::Reading>();
    m_columns.clear();
    m_db.reset();
}

void Recordset::DiscardEdit() {
    m_pending.clear();
    m_staged.clear();
    m_edit = adEditNone;
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
    if (m_pos >= m_reading->GetCount()) NoCurrentRow();
}

bool Recordset::GetBOF() const {
    RequireOpen();
    return m_edit != adEditAdd && m_reading->GetCount() == 0;
}

bool Recordset::GetEOF() const {
    RequireOpen();
    return m_edit != adEditAdd && m_pos >= m_reading->GetCount();
}

void Recordset::ResetPieces() {
    ClosePieceBlob();
    m_storedSizes.clear();
    m_original.clear();
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
    m_pos = m_reading->GetCount() == 0 ? 0 : m_reading->GetCount() - 1;
}

void Recordset::MoveNext() {
    RequireOpen();
    // The deleted row's place already holds the next row.
    if (!m_currentDeleted && m_edit != adEditAdd && m_pos >= m_reading->GetCount()) NoCurrentRow();
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

std::int64_t Recordset::CurrentKey() const { return m_reading->m_keys[m_pos]; }

ado::Reading& Recordset::Rows() {
    if (m_reading.use_count() > 1) m_reading = std::make_shared<ado::Reading>(*m_reading);
    return *m_reading;
}

ado::ReadingPtr Recordset::GetReading() const {
    RequireOpen();
    return m_reading;
}

void Recordset::ReadBack(std::int64_t rowId, std::size_t row) {
    std::string sql = "SELECT 1";
    std::vector<int> columns;
    for (const Column& c : m_columns) {
        if (c.longValue) continue;
        sql += ", " + ado::QuoteIdentifier(c.origin);
        columns.push_back(static_cast<int>(columns.size()) + 1);
    }
    sqlite3_stmt* st = m_db->Cached(sql + " FROM " + ado::QuoteIdentifier(m_table) + " WHERE _rowid_ = ?1");
    StatementUse use(st);
    m_db->Check(sqlite3_bind_int64(st, 1, rowId));
    const int rc = sqlite3_step(st);
    if (rc == SQLITE_DONE) throw _com_error(DB_E_DELETEDROW, "The row written no longer exists.");
    if (rc != SQLITE_ROW) m_db->Fail(rc);
    ado::Reading& rows = Rows();
    if (row < rows.GetCount())
        rows.ReplaceRow(row, st, columns);
    else
        rows.AddRow(rowId, st, columns);
}

std::string Recordset::ColumnSql(const char* expression, int field) const {
    return "SELECT " + ado::ForColumn(expression, m_columns[field].origin) + " FROM " + ado::QuoteIdentifier(m_table) +
           " WHERE _rowid_ = ?1";
}

_variant_t Recordset::Value(int field) {
    RequireRow();
    auto pending = m_pending.find(field);
    if (pending != m_pending.end()) return pending->second;
    if (auto staged = m_staged.find(field); staged != m_staged.end()) {
        // Asked for whole, the appended value is read back whole.
        _variant_t value = _variant_t::Bytes(nullptr, 0);
        value.bytes.resize(static_cast<std::size_t>(staged->second->Size()));
        staged->second->Read(0, value.bytes.data(), value.bytes.size());
        return value;
    }
    if (m_edit == adEditAdd) return _variant_t::Null();
    if (!m_columns[field].longValue) {
        _variant_t value = m_reading->GetValue(m_pos, field);
        m_original.emplace(field, value);
        return value;
    }
    sqlite3_stmt* st = m_db->Cached(ColumnSql("@", field));
    StatementUse use(st);
    m_db->Check(sqlite3_bind_int64(st, 1, CurrentKey()));
    const int rc = sqlite3_step(st);
    if (rc == SQLITE_DONE) throw _com_error(DB_E_DELETEDROW, "The current row no longer exists.");
    if (rc != SQLITE_ROW) m_db->Fail(rc);
    return ColumnValue(st, 0);
}

_variant_t Recordset::GetCollect(const wxString& field) { return Value(FindField(field)); }

void Recordset::PutValue(int field, const _variant_t& value) {
    RequireRow();
    if (!Storable(value.vt))
        throw _com_error(adErrDataConversion,
                         wxString::Format("A value of variant type %u cannot be stored.", unsigned(value.vt)));
    // What the row holds before the edit, for Update to write only over it.
    if (m_edit != adEditAdd && !m_columns[field].longValue && !m_original.count(field) &&
        !m_pending.count(field))
        Value(field);
    if (m_edit == adEditNone) m_edit = adEditInProgress;
    m_staged.erase(field);
    m_pending[field] = value;
}

void Recordset::PutCollect(const wxString& field, const _variant_t& value) { PutValue(FindField(field), value); }

void Recordset::AddNew() {
    RequireOpen();
    if (m_edit != adEditNone) Update();
    DiscardEdit();
    m_edit = adEditAdd;
    ResetPieces();
}

void Recordset::Update() {
    RequireOpen();
    if (m_edit == adEditNone) return;
    const bool adding = m_edit == adEditAdd;
    // Values put whole and values appended in pieces are never of one field.
    std::vector<int> fields;
    for (const auto& entry : m_pending) fields.push_back(entry.first);
    for (const auto& entry : m_staged) fields.push_back(entry.first);
    std::sort(fields.begin(), fields.end());
    std::string names, values, sets;
    const int n = static_cast<int>(fields.size());
    std::vector<int> compared;  // fields whose stored value must still be the one read
    for (int i = 0; i < n; ++i) {
        const std::string column = ado::QuoteIdentifier(m_columns[fields[i]].origin);
        const std::string param = "?" + std::to_string(i + 1);
        if (i > 0) names += ", ", values += ", ", sets += ", ";
        names += column;
        values += param;
        sets += column + " = " + param;
    }
    const std::string table = ado::QuoteIdentifier(m_table);
    std::string sql;
    if (adding) {
        sql = n == 0 ? "INSERT INTO " + table + " DEFAULT VALUES"
                     : "INSERT INTO " + table + " (" + names + ") VALUES (" + values + ")";
    } else {
        RequireRow();
        if (n == 0) {
            m_edit = adEditNone;
            return;
        }
        sql = "UPDATE " + table + " SET " + sets + " WHERE _rowid_ = ?" + std::to_string(n + 1);
        // Only over what was read: compared as stored, its type and bytes (a
        // text in another encoding by its bytes, not by its reading).
        for (int f : fields) {
            if (!m_pending.count(f) || !m_original.count(f)) continue;
            compared.push_back(f);
            sql += " AND " + ado::QuoteIdentifier(m_columns[f].origin) + " IS ?" +
                   std::to_string(n + 1 + static_cast<int>(compared.size())) + " COLLATE BINARY";
        }
    }
    sqlite3_stmt* st = m_db->Cached(sql);
    ClosePieceBlob();
    // The row and the pieces written into it afterwards are one change.
    ado::Savepoint change(*m_db);
    std::int64_t rowId = 0;
    {
        StatementUse use(st);
        for (int i = 0; i < n; ++i) {
            // An appended value goes in as zeros of its length, written over below.
            auto staged = m_staged.find(fields[i]);
            m_db->Check(staged != m_staged.end() ? sqlite3_bind_zeroblob64(st, i + 1, staged->second->Size())
                                                 : Bind(st, i + 1, m_pending.at(fields[i])));
        }
        if (!adding) m_db->Check(sqlite3_bind_int64(st, n + 1, CurrentKey()));
        for (std::size_t i = 0; i < compared.size(); ++i)
            m_db->Check(Bind(st, n + 2 + static_cast<int>(i), m_original.at(compared[i])));
        const int rc = sqlite3_step(st);
        if (rc != SQLITE_DONE) m_db->Fail(rc);
        if (!adding && sqlite3_changes(m_db->Handle()) == 0) {
            if (RowExists(CurrentKey()))
                throw _com_error(DB_E_CONCURRENCYVIOLATION,
                                 "The row was changed by another program since it was read: nothing was written.");
            throw _com_error(DB_E_DELETEDROW, "The row to be updated no longer exists.");
        }
        rowId = adding ? sqlite3_last_insert_rowid(m_db->Handle()) : CurrentKey();
    }
    for (const auto& [field, value] : m_staged) WriteStaged(rowId, field, *value);
    // The reading holds the row as written, as the engine stored it.
    const std::size_t row = adding ? m_reading->GetCount() : m_pos;
    const ado::Reading::Start oldStart = adding ? ado::Reading::Start{} : m_reading->m_starts[row];
    ReadBack(rowId, row);
    try {
        change.Commit();
    } catch (const _com_error&) {
        // Not stored after all: the reading goes back to what it held.
        if (adding)
            m_reading->EraseRow(row);
        else
            m_reading->m_starts[row] = oldStart;
        throw;
    }
    if (adding) {
        m_pos = m_reading->GetCount() - 1;
        m_currentDeleted = false;
    }
    DiscardEdit();
    ResetPieces();
}

bool Recordset::RowExists(std::int64_t rowId) {
    sqlite3_stmt* st = m_db->Cached("SELECT 1 FROM " + ado::QuoteIdentifier(m_table) + " WHERE _rowid_ = ?1");
    StatementUse use(st);
    m_db->Check(sqlite3_bind_int64(st, 1, rowId));
    const int rc = sqlite3_step(st);
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) m_db->Fail(rc);
    return rc == SQLITE_ROW;
}

void Recordset::CancelUpdate() {
    RequireOpen();
    DiscardEdit();
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
        m_db->Check(sqlite3_bind_int64(st, 1, CurrentKey()));
        const int rc = sqlite3_step(st);
        if (rc != SQLITE_DONE) m_db->Fail(rc);
    }
    const bool gone = sqlite3_changes(m_db->Handle()) == 1;
    DiscardEdit();
    ResetPieces();
    Rows().EraseRow(m_pos);
    m_currentDeleted = true;
    if (!gone) throw _com_error(DB_E_DELETEDROW, "The row to be deleted no longer exists.");
}

_variant_t Recordset::GetBookmark() const {
    RequireRow();
    if (m_edit == adEditAdd) NoCurrentRow();  // not stored yet: no identity
    return _variant_t(static_cast<std::int64_t>(CurrentKey()));
}

void Recordset::PutBookmark(const _variant_t& bookmark) {
    RequireOpen();
    if (bookmark.vt != VT_I8) throw _com_error(DB_E_BADBOOKMARK, "The bookmark names no row.");
    const std::vector<std::int64_t>& keys = m_reading->m_keys;
    const auto at = std::find(keys.begin(), keys.end(), bookmark.llVal);
    if (at == keys.end()) {
        if (RowExists(bookmark.llVal))
            throw _com_error(DB_E_BADBOOKMARK, "The row is not among the rows of the query.");
        throw _com_error(DB_E_DELETEDROW, "The row no longer exists.");
    }
    Leave();
    m_currentDeleted = false;
    m_pos = static_cast<std::size_t>(at - keys.begin());
}

FieldsPtr Recordset::GetFields() {
    RequireOpen();
    return FieldsPtr(std::make_shared<Fields>(shared_from_this(), m_generation));
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
long Field::GetDefinedSize() { return Rs().DefinedSize(m_index); }
_variant_t Field::GetChunk(long bytes) { return Rs().GetChunk(m_index, bytes); }
void Field::AppendChunk(const _variant_t& data) { Rs().AppendChunk(m_index, data); }
