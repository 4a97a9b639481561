// Long values of a recordset's fields in pieces: their sizes, pieces read
// through the engine's incremental access, pieces appended into a staged
// value, and the staged value written into its row.
#include <algorithm>

#include "platform/ado/Ado.h"
#include "platform/ado/Database.h"
#include "platform/ado/StagedValue.h"

using ado::StatementUse;

namespace {

// What the engine's incremental writes take at a time: the bytes are read
// back from the staged value into one buffer of this size.
constexpr std::size_t kWritePiece = 64 * 1024;

// What one column's type and length take in a row's header, at most.
constexpr std::int64_t kRecordVarint = 9;
// The bytes a column's stored value takes, read from the row's header for a
// byte value, which is not loaded for it; 0 for null.
constexpr const char* kStoredBytes =
    "CASE typeof(@) WHEN 'blob' THEN length(@) ELSE ifnull(length(CAST(@ AS BLOB)), 0) END";
// A number stored in a text column is stored as its text: no longer than this.
constexpr std::int64_t kNumberText = 32;

// The bytes a value put whole stands for in piecewise reads.
std::vector<BYTE> PendingBytes(const _variant_t& v) {
    if (v.IsByteArray() || !v.bytes.empty()) return v.bytes;
    if (v.vt == VT_BSTR || v.vt == VT_LPSTR || v.vt == VT_LPWSTR) {
        const wxScopedCharBuffer utf8 = v.text.utf8_str();
        return std::vector<BYTE>(utf8.data(), utf8.data() + utf8.length());
    }
    return {};
}

// At most the bytes an edited value takes in its row.
std::int64_t EditedSize(const _variant_t& v) {
    if (v.vt == VT_EMPTY || v.vt == VT_NULL) return 0;
    if (v.IsByteArray() || v.vt == VT_BSTR || v.vt == VT_LPSTR || v.vt == VT_LPWSTR)
        return static_cast<std::int64_t>(PendingBytes(v).size());
    return kNumberText;
}

class BlobHandle {
public:
    BlobHandle() = default;
    ~BlobHandle() { sqlite3_blob_close(m_blob); }
    BlobHandle(const BlobHandle&) = delete;
    BlobHandle& operator=(const BlobHandle&) = delete;
    sqlite3_blob** operator&() { return &m_blob; }
    operator sqlite3_blob*() const { return m_blob; }
    // Closing finishes the write; its failure is the write's.
    int Close() {
        const int rc = sqlite3_blob_close(m_blob);
        m_blob = nullptr;
        return rc;
    }

private:
    sqlite3_blob* m_blob = nullptr;
};

}  // namespace

long Recordset::ActualSize(int field) {
    RequireRow();
    auto pending = m_pending.find(field);
    if (pending != m_pending.end()) return static_cast<long>(PendingBytes(pending->second).size());
    if (auto staged = m_staged.find(field); staged != m_staged.end()) return static_cast<long>(staged->second->Size());
    if (m_edit == adEditAdd) return 0;
    // A text's length in characters is not its bytes.
    sqlite3_stmt* st = m_db->Cached(ColumnSql(kStoredBytes, field));
    StatementUse use(st);
    m_db->Check(sqlite3_bind_int64(st, 1, CurrentKey()));
    const int rc = sqlite3_step(st);
    if (rc == SQLITE_ROW) return static_cast<long>(sqlite3_column_int64(st, 0));
    if (rc == SQLITE_DONE) throw _com_error(DB_E_DELETEDROW, "The current row no longer exists.");
    m_db->Fail(rc);
}

long Recordset::DefinedSize(int field) {
    RequireRow();
    sqlite3* h = m_db->Handle();
    if (!h) throw _com_error(adErrObjectClosed, "The database connection is closed.");
    // The engine's limit holds for the row as it is stored, so the row's
    // other values, as the edit will leave them, take their part of it, and
    // the row's header up to nine bytes a column.
    const std::string& origin = m_columns[field].origin;
    const std::vector<std::int64_t>& stored = StoredSizes();
    std::int64_t others = kRecordVarint * static_cast<std::int64_t>(m_tableColumns.size() + 1);
    for (std::size_t c = 0; c < m_tableColumns.size(); ++c) {
        if (m_tableColumns[c] == origin) continue;
        std::int64_t size = stored[c];
        for (std::size_t q = 0; q < m_columns.size(); ++q) {
            if (m_columns[q].origin != m_tableColumns[c]) continue;
            const int i = static_cast<int>(q);
            if (auto staged = m_staged.find(i); staged != m_staged.end()) size = staged->second->Size();
            if (auto pending = m_pending.find(i); pending != m_pending.end()) size = EditedSize(pending->second);
        }
        others += size;
    }
    const std::int64_t room = sqlite3_limit(h, SQLITE_LIMIT_LENGTH, -1) - others;
    return static_cast<long>(std::max<std::int64_t>(room, 0));
}

const std::vector<std::int64_t>& Recordset::StoredSizes() {
    if (m_storedSizes.size() == m_tableColumns.size()) return m_storedSizes;
    std::vector<std::int64_t> sizes(m_tableColumns.size(), 0);
    if (m_edit != adEditAdd && !m_tableColumns.empty()) {
        std::string sql = "SELECT ";
        for (std::size_t c = 0; c < m_tableColumns.size(); ++c)
            sql += (c ? ", " : "") + ado::ForColumn(kStoredBytes, m_tableColumns[c]);
        sqlite3_stmt* st = m_db->Cached(sql + " FROM " + ado::QuoteIdentifier(m_table) + " WHERE _rowid_ = ?1");
        StatementUse use(st);
        m_db->Check(sqlite3_bind_int64(st, 1, CurrentKey()));
        const int rc = sqlite3_step(st);
        if (rc == SQLITE_DONE) throw _com_error(DB_E_DELETEDROW, "The current row no longer exists.");
        if (rc != SQLITE_ROW) m_db->Fail(rc);
        for (std::size_t c = 0; c < sizes.size(); ++c) sizes[c] = sqlite3_column_int64(st, static_cast<int>(c));
    }
    m_storedSizes = std::move(sizes);
    return m_storedSizes;
}

_variant_t Recordset::GetChunk(int field, long bytes) {
    RequireRow();
    if (bytes < 0) throw _com_error(E_INVALIDARG, "A piece cannot have a negative size.");
    const std::int64_t offset = m_chunkOffset[field];
    if (auto staged = m_staged.find(field); staged != m_staged.end()) {
        const std::int64_t size = staged->second->Size();
        if (offset >= size) return _variant_t::Null();
        _variant_t piece = _variant_t::Bytes(nullptr, 0);
        piece.bytes.resize(static_cast<std::size_t>(std::min<std::int64_t>(bytes, size - offset)));
        piece.bytes.resize(staged->second->Read(offset, piece.bytes.data(), piece.bytes.size()));
        m_chunkOffset[field] += static_cast<std::int64_t>(piece.bytes.size());
        return piece;
    }
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
        const int rc = sqlite3_blob_open(m_db->Handle(), "main", m_table.c_str(), m_columns[field].origin.c_str(),
                                         CurrentKey(), 0, &m_pieceBlob);
        if (rc != SQLITE_OK) {
            ClosePieceBlob();
            m_db->Fail(rc);
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
    const int rc = sqlite3_blob_read(m_pieceBlob, piece.bytes.data(), k, static_cast<int>(offset));
    if (rc != SQLITE_OK) {
        ClosePieceBlob();
        m_db->Fail(rc);
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
    auto staged = m_staged.find(field);
    auto pending = m_pending.find(field);
    const bool adding = m_appended[field] && staged != m_staged.end();
    // The first append replaces the value; a byte array put whole since the
    // last append is carried on from.
    const bool carrying = m_appended[field] && !adding && pending != m_pending.end() && pending->second.IsByteArray();
    const std::int64_t before = adding     ? staged->second->Size()
                                : carrying ? static_cast<std::int64_t>(pending->second.bytes.size())
                                           : 0;
    // Refused before anything is held: a value longer than the engine may
    // store would fill the disk for nothing.
    if (before + static_cast<std::int64_t>(data.bytes.size()) > DefinedSize(field))
        throw _com_error(E_FAIL, wxString::FromUTF8(sqlite3_errstr(SQLITE_TOOBIG)));
    if (!adding) {
        auto fresh = std::make_unique<ado::StagedValue>(m_db->Folder());
        if (carrying) fresh->Append(pending->second.bytes.data(), pending->second.bytes.size());
        fresh->Append(data.bytes.data(), data.bytes.size());
        m_staged.insert_or_assign(field, std::move(fresh));
    } else {
        staged->second->Append(data.bytes.data(), data.bytes.size());
    }
    m_pending.erase(field);
    m_appended[field] = true;
    if (m_edit == adEditNone) m_edit = adEditInProgress;
}

void Recordset::WriteStaged(std::int64_t rowId, int field, const ado::StagedValue& value) {
    const std::int64_t size = value.Size();
    if (size == 0) return;
    BlobHandle blob;
    m_db->Check(sqlite3_blob_open(m_db->Handle(), "main", m_table.c_str(), m_columns[field].origin.c_str(), rowId,
                                  1, &blob));
    std::vector<BYTE> buffer(static_cast<std::size_t>(std::min<std::int64_t>(size, kWritePiece)));
    for (std::int64_t at = 0; at < size;) {
        const std::size_t n = value.Read(at, buffer.data(), buffer.size());
        if (n == 0) throw _com_error(E_FAIL, "The value being written ended before its length.");
        m_db->Check(sqlite3_blob_write(blob, buffer.data(), static_cast<int>(n), static_cast<int>(at)));
        at += static_cast<std::int64_t>(n);
    }
    m_db->Check(blob.Close());
}
