#pragma once
// The SQLite handle behind a connection, shared with its recordsets, and the
// statements they reuse.  Internal to the database layer.
#include <map>
#include <string>

#include <sqlite3.h>

#include "platform/ado/Ado.h"

namespace ado {

class Database {
public:
    explicit Database(sqlite3* db) : m_db(db) {}
    ~Database() { Close(); }
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Null once closed.
    sqlite3* Handle() const { return m_db; }
    void Close();
    // A prepared statement of `sql`, kept until the connection closes.
    sqlite3_stmt* Cached(const std::string& sql);
    // The engine's last message as a _com_error.
    [[noreturn]] void Fail() const;
    // The failure `rc` of a call as a _com_error (Error gives it, Fail raises
    // it): the engine's message when the call left one, else the code's own
    // text (binds leave none).
    [[noreturn]] void Fail(int rc) const;
    _com_error Error(int rc) const;
    void Check(int rc) const {
        if (rc != SQLITE_OK) Fail(rc);
    }
    // The folder of the database file; empty for a database in memory.
    std::string Folder() const;

private:
    sqlite3* m_db;
    std::map<std::string, sqlite3_stmt*> m_cache;
};

// Resets a statement and clears its parameters when it goes out of scope.
class StatementUse {
public:
    explicit StatementUse(sqlite3_stmt* st) : m_st(st) {}
    ~StatementUse() {
        sqlite3_reset(m_st);
        sqlite3_clear_bindings(m_st);
    }
    StatementUse(const StatementUse&) = delete;
    StatementUse& operator=(const StatementUse&) = delete;

private:
    sqlite3_stmt* m_st;
};

// Finalizes a statement of its own when it goes out of scope.
class Statement {
public:
    Statement() = default;
    ~Statement() { sqlite3_finalize(m_st); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    sqlite3_stmt** operator&() { return &m_st; }
    void Reset() {
        sqlite3_finalize(m_st);
        m_st = nullptr;
    }
    operator sqlite3_stmt*() const { return m_st; }

private:
    sqlite3_stmt* m_st = nullptr;
};

// Makes the statements run while it lives one change: rolled back unless
// Commit succeeds, so that a write that fails halfway leaves nothing.  When
// it began the transaction, a failure (of the commit too) ends the whole
// transaction, so the connection is back in autocommit either way.
class Savepoint {
public:
    explicit Savepoint(const Database& db);
    ~Savepoint();
    Savepoint(const Savepoint&) = delete;
    Savepoint& operator=(const Savepoint&) = delete;
    // Raises the engine's error after rolling back when the commit fails.
    void Commit();

private:
    void Undo() noexcept;
    const Database& m_db;
    bool m_outermost = false;
    bool m_done = false;
};

// Quotes an identifier for an SQL text ("a""b").
std::string QuoteIdentifier(const std::string& name);
// `expression` with every '@' standing for the quoted column.
std::string ForColumn(const char* expression, const std::string& column);

// How a query names its rows, read from its text: only a plain SELECT whose
// result rows are rows of one table can be kept as row ids.
struct SelectShape {
    bool plainSelect = false;     // SELECT without DISTINCT, GROUP BY, joins or compounds
    std::size_t afterSelect = 0;  // where the SELECT keyword ends
    bool ordered = false;         // has an ORDER BY of its own
    std::size_t from = 0;         // where its FROM keyword starts; 0 when there is none
    std::size_t limit = 0;        // where its LIMIT keyword starts; 0 when there is none
    std::size_t end = 0;          // where the statement ends (its ';' or the text's end)
};
SelectShape AnalyseSelect(const std::string& sql);

}  // namespace ado
