#include <atomic>
#include <cctype>

#include "platform/ado/Ado.h"
#include "platform/ado/Database.h"

namespace {

// How long the engine waits for another process that holds the file.
constexpr int kBusyTimeoutMs = 3000;
std::atomic<int> g_busyTimeoutMs{kBusyTimeoutMs};

bool IsKeyChar(wxUniChar c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == ' ';
}

// The value of "Data Source" in a connection text.  The value runs to the next
// ";Key=" (so a path may hold a semicolon) or to the end; one pair of
// surrounding quotes is taken off.
wxString DataSource(const wxString& text) {
    const wxString lower = text.Lower();
    size_t at = 0;
    for (;;) {
        at = lower.find("data source", at);
        if (at == wxString::npos) return wxString();
        // The key must start the text or follow a semicolon (blanks between).
        size_t b = at;
        while (b > 0 && text[b - 1] == ' ') --b;
        size_t eq = at + 11;
        while (eq < text.length() && text[eq] == ' ') ++eq;
        if ((b == 0 || text[b - 1] == ';') && eq < text.length() && text[eq] == '=') {
            at = eq + 1;
            break;
        }
        at += 11;
    }
    size_t end = text.length();
    for (size_t i = at; i < text.length(); ++i) {
        if (text[i] != ';') continue;
        size_t j = i + 1;
        while (j < text.length() && IsKeyChar(text[j])) ++j;
        if (j < text.length() && text[j] == '=' && j > i + 1) {
            end = i;
            break;
        }
    }
    wxString value = text.Mid(at, end - at).Trim(true).Trim(false);
    while (value.EndsWith(";")) value.RemoveLast();
    if (value.length() >= 2 && (value[0] == '"' || value[0] == '\'') && value.Last() == value[0])
        value = value.Mid(1, value.length() - 2);
    return value;
}

}  // namespace

_com_error::_com_error(HRESULT hr, const wxString& description)
    : m_hr(hr), m_description(description), m_what(ErrorMessage().utf8_str()) {}

wxString _com_error::ErrorMessage() const {
    if (!m_description.empty()) return m_description;
    switch (m_hr) {
        case E_POINTER: return "Invalid pointer";
        case E_FAIL: return "Unspecified error";
        default: return wxString::Format("Error 0x%08X", static_cast<unsigned>(m_hr));
    }
}

void SetBusyTimeoutForTesting(int milliseconds) {
    g_busyTimeoutMs = milliseconds > 0 ? milliseconds : kBusyTimeoutMs;
}

wxString EscapeSqlQuotes(const wxString& value) {
    wxString out = value;
    out.Replace("'", "''");
    return out;
}

namespace ado {

void Database::Close() {
    for (auto& entry : m_cache) sqlite3_finalize(entry.second);
    m_cache.clear();
    if (m_db) sqlite3_close_v2(m_db);
    m_db = nullptr;
}

sqlite3_stmt* Database::Cached(const std::string& sql) {
    if (!m_db) throw _com_error(adErrObjectClosed, "The database connection is closed.");
    auto it = m_cache.find(sql);
    if (it != m_cache.end()) return it->second;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v3(m_db, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &st, nullptr) != SQLITE_OK) Fail();
    m_cache.emplace(sql, st);
    return st;
}

void Database::Fail() const {
    if (!m_db) throw _com_error(adErrObjectClosed, "The database connection is closed.");
    Fail(sqlite3_extended_errcode(m_db));
}

_com_error Database::Error(int rc) const {
    // Another program holding the file is the one failure the operator can
    // wait out: it has a code of its own.
    const int primary = rc & 0xFF;
    const HRESULT hr = primary == SQLITE_BUSY || primary == SQLITE_LOCKED ? adErrResourceLocked : E_FAIL;
    if (m_db && sqlite3_extended_errcode(m_db) == rc) return _com_error(hr, wxString::FromUTF8(sqlite3_errmsg(m_db)));
    return _com_error(hr, wxString::FromUTF8(sqlite3_errstr(rc)));
}

void Database::Fail(int rc) const { throw Error(rc); }

std::string Database::Folder() const {
    const char* file = m_db ? sqlite3_db_filename(m_db, "main") : nullptr;
    if (!file || !*file) return {};
    const std::string path(file);
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash + (slash == 0));
}

Savepoint::Savepoint(const Database& db) : m_db(db) {
    // Begun outside a transaction, the savepoint is the transaction: its
    // release is the commit, and its failure must end the transaction whole.
    m_outermost = sqlite3_get_autocommit(m_db.Handle()) != 0;
    m_db.Check(sqlite3_exec(m_db.Handle(), "SAVEPOINT ado_write", nullptr, nullptr, nullptr));
}

Savepoint::~Savepoint() {
    if (!m_done) Undo();
}

void Savepoint::Undo() noexcept {
    m_done = true;
    sqlite3* h = m_db.Handle();
    if (!h) return;
    if (m_outermost) {
        // Some failures (a full disk, say) already rolled the engine back.
        if (!sqlite3_get_autocommit(h)) sqlite3_exec(h, "ROLLBACK", nullptr, nullptr, nullptr);
    } else {
        sqlite3_exec(h, "ROLLBACK TO ado_write; RELEASE ado_write", nullptr, nullptr, nullptr);
    }
}

void Savepoint::Commit() {
    // A commit can fail: another program still reading the file keeps the
    // change from being written (the rollback journal needs the file to
    // itself).  Left open, the transaction would swallow every later write.
    const int rc = sqlite3_exec(m_db.Handle(), "RELEASE ado_write", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) {
        m_done = true;
        return;
    }
    const _com_error failure = m_db.Error(rc);
    Undo();
    throw failure;
}

}  // namespace ado

WriteStep::~WriteStep() {
    if (!m_open) return;
    try {
        m_connection->RollbackTrans();
    } catch (const _com_error&) {
        // The connection is closed: the engine ended the transaction with it.
    }
}

void WriteStep::Begin() {
    m_connection->BeginTrans();
    m_open = true;
}

void WriteStep::Commit() {
    m_open = false;
    m_connection->CommitTrans();
}

namespace ado {

std::string ForColumn(const char* expression, const std::string& column) {
    const std::string quoted = QuoteIdentifier(column);
    std::string text;
    for (const char* c = expression; *c; ++c) *c == '@' ? text += quoted : text += *c;
    return text;
}

std::string QuoteIdentifier(const std::string& name) {
    std::string out = "\"";
    for (char c : name) {
        out += c;
        if (c == '"') out += '"';
    }
    return out + "\"";
}

}  // namespace ado

Connection::~Connection() { Close(); }

void Connection::Open(const wxString& connectionString, const wxString&, const wxString&, long) {
    if (m_db) throw _com_error(adErrObjectOpen, "The connection is already open.");
    const wxString path = DataSource(connectionString);
    if (path.empty()) throw _com_error(E_FAIL, "The connection text names no data source.");

    sqlite3* handle = nullptr;
    // Never created here: a missing file is an error, not a new empty database.
    // One thread uses a connection: the engine need not lock it at every
    // call (a reading makes several per value).
    const int rc =
        sqlite3_open_v2(path.utf8_str(), &handle, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    auto db = std::make_shared<ado::Database>(handle);
    if (rc != SQLITE_OK) {
        wxString message = handle ? wxString::FromUTF8(sqlite3_errmsg(handle)) : wxString("out of memory");
        throw _com_error(E_FAIL, message + ": " + path);
    }
    sqlite3_extended_result_codes(handle, 1);
    sqlite3_busy_timeout(handle, g_busyTimeoutMs.load());
    // No statement may rewrite the schema's own records.
    sqlite3_db_config(handle, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    // The engine reads the file lazily; read its schema now so that a file
    // that is no database fails here, untouched.
    if (sqlite3_exec(handle, "SELECT count(*) FROM sqlite_schema", nullptr, nullptr, nullptr) != SQLITE_OK)
        db->Fail();
    m_db = std::move(db);
}

void Connection::Close() {
    if (m_db) m_db->Close();
    m_db.reset();
}

long Connection::GetState() const { return m_db ? adStateOpen : adStateClosed; }

namespace {

sqlite3* OpenHandle(const std::shared_ptr<ado::Database>& db) {
    if (!db || !db->Handle()) throw _com_error(adErrObjectClosed, "The database connection is closed.");
    return db->Handle();
}

}  // namespace

long Connection::BeginTrans() {
    sqlite3* h = OpenHandle(m_db);
    if (!sqlite3_get_autocommit(h)) throw _com_error(E_FAIL, "A transaction is already in progress.");
    const int rc = sqlite3_exec(h, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) m_db->Fail(rc);
    return 1;
}

void Connection::CommitTrans() {
    sqlite3* h = OpenHandle(m_db);
    const int rc = sqlite3_exec(h, "COMMIT", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) return;
    // Left open, the transaction would swallow every later write.
    const _com_error failure = m_db->Error(rc);
    RollbackTrans();
    throw failure;
}

void Connection::RollbackTrans() {
    sqlite3* h = OpenHandle(m_db);
    if (!sqlite3_get_autocommit(h)) sqlite3_exec(h, "ROLLBACK", nullptr, nullptr, nullptr);
}
