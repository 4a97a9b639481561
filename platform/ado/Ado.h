#pragma once
// The database layer of the customer records: a connection, recordsets over
// a query, fields read and written as variants, long binary fields moved in
// pieces, and one exception type for every failure.  It keeps the shape of
// the automation data objects the records were written against and stores in
// an SQLite 3 file.
//
// What the records rely on, and this layer keeps:
//  - Opening a recordset reads its rows as one reading: one statement, so
//    the rows are the file as it was at one moment, never a mix of before
//    and after another program's write, and a reading that fails fails whole.
//    Each row's identity and short values are kept (a list of 100,000
//    customers costs what the engine's own read of them costs); long values
//    (the photo) are not read with them, but from the stored row on demand,
//    in pieces.  Rows come in insertion order unless the query has an ORDER
//    BY of its own.
//  - Writing is optimistic: an Update writes over a row only where it still
//    holds what the recordset read of the columns being written, compared as
//    stored (type and bytes), not as read.
//  - Edits (PutCollect, AppendChunk, AddNew) stay pending in the recordset
//    until Update writes them as one change; CancelUpdate, Close or a failure
//    leaves the stored row as it was.  Every call of the engine is checked: a
//    value it refuses (longer than it may hold, say) fails the Update.
//  - The first AppendChunk to a field after the row was positioned, created or
//    saved replaces the field's value; later ones add to it.  Appended pieces
//    wait in a temporary file and Update writes them into the row piece by
//    piece, as GetChunk reads them: a long value is never whole in memory.
//  - Text comparison without case and integers written to text columns being
//    stored as their text come from the table's declaration (COLLATE NOCASE,
//    TEXT affinity).
//  - Values are only ever bound as parameters; the SQL texts handed to Open are
//    the caller's, with single quotes doubled (EscapeSqlQuotes).
//
// Not thread-safe: one thread uses a connection and its recordsets.
#include <cstdint>
#include <exception>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <wx/string.h>

#include "platform/WinTypes.h"
#include "platform/ado/Variant.h"

// Failures of this layer; the description is the engine's message when the
// engine failed, else the layer's own.
class _com_error : public std::exception {
public:
    explicit _com_error(HRESULT hr, const wxString& description = wxString());
    HRESULT Error() const { return m_hr; }
    // The text shown to the operator: the description, or a generic text for
    // the code when there is none.
    wxString ErrorMessage() const;
    wxString Description() const { return m_description; }
    const char* what() const noexcept override { return m_what.c_str(); }

private:
    HRESULT m_hr;
    wxString m_description;
    std::string m_what;
};

// Codes of the layer's own failures.
constexpr HRESULT adErrNoCurrentRecord = static_cast<HRESULT>(0x800A0BCDu);
constexpr HRESULT adErrItemNotFound = static_cast<HRESULT>(0x800A0CC1u);
constexpr HRESULT adErrObjectClosed = static_cast<HRESULT>(0x800A0E78u);
constexpr HRESULT adErrObjectOpen = static_cast<HRESULT>(0x800A0E79u);
constexpr HRESULT adErrDataConversion = static_cast<HRESULT>(0x800A0D5Du);
constexpr HRESULT DB_E_CONCURRENCYVIOLATION = static_cast<HRESULT>(0x80040E38u);
// The row is no longer stored (another program deleted it).
constexpr HRESULT DB_E_BADBOOKMARK = static_cast<HRESULT>(0x80040E0Eu);
constexpr HRESULT DB_E_DELETEDROW = static_cast<HRESULT>(0x80040E23u);
// Another program holds the file, longer than the connection waits for it.
constexpr HRESULT adErrResourceLocked = static_cast<HRESULT>(0x800A0E92u);

enum ObjectStateEnum { adStateClosed = 0, adStateOpen = 1 };
enum CursorTypeEnum { adOpenForwardOnly = 0, adOpenKeyset = 1, adOpenDynamic = 2, adOpenStatic = 3 };
enum LockTypeEnum { adLockReadOnly = 1, adLockPessimistic = 2, adLockOptimistic = 3 };
enum CommandTypeEnum { adCmdText = 1 };
enum AffectEnum { adAffectCurrent = 1 };
enum EditModeEnum { adEditNone = 0, adEditInProgress = 1, adEditAdd = 2 };

// A reference-counted pointer to one of the objects below.  The arrow on an
// empty pointer throws _com_error(E_POINTER) instead of crashing.
template <class T>
class AdoPtr {
public:
    AdoPtr() = default;
    AdoPtr(std::nullptr_t) {}
    explicit AdoPtr(std::shared_ptr<T> p) : m_p(std::move(p)) {}

    // A new object in place of the one held (these cannot fail: S_OK).
    HRESULT CreateInstance() {
        m_p = std::make_shared<T>();
        return S_OK;
    }
    void Release() { m_p.reset(); }
    AdoPtr& operator=(std::nullptr_t) {
        m_p.reset();
        return *this;
    }
    T* operator->() const {
        if (!m_p) throw _com_error(E_POINTER);
        return m_p.get();
    }
    T* GetInterfacePtr() const { return m_p.get(); }
    explicit operator bool() const { return m_p != nullptr; }
    bool operator==(std::nullptr_t) const { return m_p == nullptr; }
    const std::shared_ptr<T>& Shared() const { return m_p; }

private:
    std::shared_ptr<T> m_p;
};

struct sqlite3_blob;
struct sqlite3_stmt;
class Connection;
class Recordset;
class Fields;
class Field;

namespace ado {
class Database;
class StagedValue;

// A recordset's rows as one reading of the file: each row's identity and its
// short values, as the query read them and as the recordset's own writes
// left them (long values are not part of it: they are read from the stored
// row, in pieces).  A recordset hands it out (GetReading) to be kept after it
// closes, e.g. by a list that shows the rows; what it hands out never
// changes: the recordset's later writes go to a copy.
class Reading {
public:
    std::size_t GetCount() const { return m_keys.size(); }
    // The identity of row `row`, as the recordset's GetBookmark gives it.
    _variant_t GetBookmark(std::size_t row) const { return _variant_t(m_keys[row]); }
    // A field by name, without regard to case; -1 when the query has none.
    int FindField(const wxString& name) const;
    // Field `field` of row `row` as read: VT_NULL, VT_I4 (VT_I8 beyond 32
    // bits), VT_R8, VT_BSTR (StoredText) or a byte array; VT_EMPTY for a long
    // value.
    _variant_t GetValue(std::size_t row, int field) const;

private:
    friend class ::Recordset;
    // Where each row's values start: their block, and where in it.
    struct Start {
        std::uint32_t block, offset;
    };
    // Appends or replaces the values of one row from statement `st`, whose
    // column `columns[s]` holds short value s.
    void AddRow(std::int64_t key, sqlite3_stmt* st, const std::vector<int>& columns);
    void ReplaceRow(std::size_t row, sqlite3_stmt* st, const std::vector<int>& columns);
    void EraseRow(std::size_t row);
    const char* ValueAt(std::size_t row, int slot) const;

    std::vector<wxString> m_names;  // the fields, as the query names them
    std::vector<int> m_slot;        // per field: its place among the short values, -1 for a long one
    std::vector<std::int64_t> m_keys;
    std::vector<Start> m_starts;
    // Packs the row into the last block; where it starts.
    Start Pack(sqlite3_stmt* st, const std::vector<int>& columns);
    // Each row's short values one after the other: a type byte, then 8 bytes
    // of a number, or a 4-byte length and the bytes of a text or byte value.
    // In blocks that never move once filled, so that the reading grows
    // without copying what it holds.
    std::vector<std::string> m_blocks;
    std::string m_row;  // the row being packed
};
using ReadingPtr = std::shared_ptr<const Reading>;
}
using _ConnectionPtr = AdoPtr<Connection>;
using _RecordsetPtr = AdoPtr<Recordset>;
using FieldsPtr = AdoPtr<Fields>;
using FieldPtr = AdoPtr<Field>;

class Connection {
public:
    Connection() = default;
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Opens the database file named by the text's "Data Source" (other keys,
    // the provider among them, are accepted and not used).  The file must
    // exist and be an SQLite database: a missing file, or one that is not a
    // database, fails with the engine's message and is left as it is.  A file
    // the process may only read opens for reading; writes then fail.
    void Open(const wxString& connectionString, const wxString& userId = wxString(),
              const wxString& password = wxString(), long options = 0);
    // Recordsets still open on the connection fail from then on.
    void Close();
    long GetState() const;

    // A transaction that holds the file for writing from its start (another
    // program waits, then fails, to write), so that what is read in it still
    // holds when it writes.  Transactions do not nest.  A commit that fails
    // rolls the transaction back and raises the engine's error; a rollback
    // outside a transaction does nothing.
    long BeginTrans();
    void CommitTrans();
    void RollbackTrans();

    std::shared_ptr<ado::Database> GetDatabase() const { return m_db; }

private:
    std::shared_ptr<ado::Database> m_db;
};

// A write transaction (BeginTrans) that is rolled back when it is left
// without Commit, so that no failure halfway keeps the file held for writing.
class WriteStep {
public:
    explicit WriteStep(_ConnectionPtr connection) : m_connection(std::move(connection)) {}
    ~WriteStep();
    WriteStep(const WriteStep&) = delete;
    WriteStep& operator=(const WriteStep&) = delete;
    // Raises the engine's error when the file cannot be had for writing.
    void Begin();
    // Raises the engine's error when the commit fails; the transaction is
    // then rolled back.
    void Commit();

private:
    _ConnectionPtr m_connection;
    bool m_open = false;
};

class Recordset : public std::enable_shared_from_this<Recordset> {
public:
    Recordset();
    ~Recordset();
    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

    // Runs `source`, an SQL text, on the connection.  A query must select
    // columns of one table (SELECT ... FROM table [WHERE ...] [ORDER BY ...]);
    // its rows are read then, as one reading (see Reading); the cursor and
    // lock types are accepted as the only ones this layer has (the rows as
    // read, optimistic writing).  A statement that returns no rows is run and
    // leaves the recordset closed.  Fails with the engine's message for an
    // SQL text the engine rejects, and whole, leaving the recordset closed,
    // when the rows cannot all be read (another program holding the file
    // past the wait, a disk error).
    void Open(const wxString& source, const _ConnectionPtr& activeConnection,
              CursorTypeEnum cursorType = adOpenDynamic, LockTypeEnum lockType = adLockOptimistic,
              long options = adCmdText);
    // Gives up a pending edit.  Closing a closed recordset does nothing.
    void Close();
    long GetState() const;

    // Before the first row (only when there are no rows) and after the last.
    bool GetBOF() const;
    bool GetEOF() const;
    // Moving saves a pending edit first.  MoveFirst and MoveLast on no rows
    // stay at BOF and EOF; MoveNext at EOF fails.
    void MoveFirst();
    void MoveNext();
    void MoveLast();

    // Fields by name, without regard to case.  A short value as the reading
    // holds it, a long value read from the stored row: VT_NULL, VT_I4 (VT_I8
    // beyond 32 bits), VT_R8, VT_BSTR (a text that is not UTF-8 carries its
    // bytes, _variant_t::StoredText) or a byte array; the pending value when
    // the field was edited.  Put back, a value read
    // stores what was read, type and bytes.
    _variant_t GetCollect(const wxString& field);
    // Starts an edit of the current row (or continues AddNew's).  Storable
    // values: empty, null, integers, VT_R4, VT_R8, VT_BOOL (-1 or 0), texts and
    // byte arrays; others fail at once.
    void PutCollect(const wxString& field, const _variant_t& value);
    // A new row, pending until Update; the new row is then the current one.
    void AddNew();
    // Writes the pending edit.  A changed row is written only while it still
    // holds, in the columns being written (long values apart), what this
    // recordset read of them since it was positioned (or, for a column not
    // read before, when it was first put): another program's change since
    // then fails the Update (DB_E_CONCURRENCYVIOLATION) and nothing is
    // written.  On failure the edit stays pending.
    void Update();
    void CancelUpdate();
    // Deletes the current row at once; moving on leaves it.
    void Delete(AffectEnum affect = adAffectCurrent);
    EditModeEnum GetEditMode() const { return m_edit; }
    FieldsPtr GetFields();
    // The identity of the current row in its table (VT_I8), the same in every
    // recordset of that table for as long as the row is stored, whatever its
    // values: rows that hold the same values are still told apart.
    _variant_t GetBookmark() const;
    // Moves to the row `bookmark` names.  Fails with DB_E_DELETEDROW when the
    // row is no longer stored, and with DB_E_BADBOOKMARK when it is stored
    // but not among the rows of this recordset's reading.
    void PutBookmark(const _variant_t& bookmark);
    // The rows as read, with this recordset's writes so far (a row it added
    // or changed as stored after the write, a row it deleted left out).
    ado::ReadingPtr GetReading() const;

private:
    friend class Field;
    friend class Fields;
    struct Column {
        wxString name;       // as the query names it
        std::string origin;  // the table's column it comes from
        bool longValue;      // declared a byte field of any length
    };

    void RequireOpen() const;
    void RequireRow() const;
    int FindField(const wxString& name) const;
    // Before positioning: save a pending edit, restart the piecewise reads and writes.
    void Leave();
    void ResetPieces();
    void DiscardEdit();
    void WriteStaged(std::int64_t rowId, int field, const ado::StagedValue& value);
    std::int64_t CurrentKey() const;
    bool RowExists(std::int64_t rowId);
    // The reading, copied first when it was handed out.
    ado::Reading& Rows();
    // Reads row `rowId`'s short values as stored now into the reading: at
    // `row`, or as a new row when `row` is past the last.
    void ReadBack(std::int64_t rowId, std::size_t row);
    std::string ColumnSql(const char* expression, int field) const;

    _variant_t Value(int field);
    void PutValue(int field, const _variant_t& value);
    long ActualSize(int field);
    // The room for the field's value in the current row.
    long DefinedSize(int field);
    // Stored bytes of each column of the table in the current row (0 for a
    // new one), read once per positioning.
    const std::vector<std::int64_t>& StoredSizes();
    _variant_t GetChunk(int field, long bytes);
    void AppendChunk(int field, const _variant_t& data);

    std::shared_ptr<ado::Database> m_db;
    bool m_open = false;
    unsigned m_generation = 0;  // changes at every Open and Close
    std::string m_table;
    std::vector<Column> m_columns;
    std::vector<std::string> m_tableColumns;  // every column of m_table
    std::vector<std::int64_t> m_storedSizes;  // empty until StoredSizes reads them
    std::shared_ptr<ado::Reading> m_reading = std::make_shared<ado::Reading>();
    std::size_t m_pos = 0;
    bool m_currentDeleted = false;
    EditModeEnum m_edit = adEditNone;
    std::map<int, _variant_t> m_pending;
    // Values of the current row as this recordset first read them since
    // positioning (long values apart): Update writes only over these.
    std::map<int, _variant_t> m_original;
    // Fields appended to since positioning, apart from m_pending.
    std::map<int, std::unique_ptr<ado::StagedValue>> m_staged;
    std::vector<bool> m_appended;            // per field: appended since positioning
    std::vector<std::int64_t> m_chunkOffset;  // per field: where the next GetChunk reads
    // The stored value GetChunk is reading, open until it is read to its end
    // or the recordset moves.
    sqlite3_blob* m_pieceBlob = nullptr;
    int m_pieceField = -1;
    void ClosePieceBlob();
};

class Fields {
public:
    Fields(std::shared_ptr<Recordset> rs, unsigned generation);
    // Fails (adErrItemNotFound) when the query has no such field.
    FieldPtr GetItem(const wxString& name);
    long GetCount();

private:
    Recordset& Rs();
    std::shared_ptr<Recordset> m_rs;
    unsigned m_generation;
};

// One field of the current row; valid until its recordset is closed.
class Field {
public:
    Field(std::shared_ptr<Recordset> rs, int index, unsigned generation);
    wxString GetName();
    _variant_t GetValue();
    void PutValue(const _variant_t& value);
    // Bytes of the value: a byte array's length, a text's length in UTF-8;
    // 0 for null.
    long GetActualSize();
    // The most bytes the value can hold in the current row: the engine's
    // limit less what the row's other values, as edited, take of it.
    long GetDefinedSize();
    // The next `bytes` bytes of the value, from where the last GetChunk since
    // positioning ended, as a byte array; VT_NULL when nothing is left.
    _variant_t GetChunk(long bytes);
    // Appends a byte array to the value (the first append replaces it).
    void AppendChunk(const _variant_t& data);

private:
    Recordset& Rs();
    std::shared_ptr<Recordset> m_rs;
    int m_index;
    unsigned m_generation;
};

// `value` with every single quote doubled, to be placed between single quotes
// in an SQL text.
wxString EscapeSqlQuotes(const wxString& value);

// Tests: how long connections opened from now on wait for another program
// that holds the file (0: the normal three seconds).
void SetBusyTimeoutForTesting(int milliseconds);
