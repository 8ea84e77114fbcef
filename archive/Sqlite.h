// A thin hold on SQLite's C API: the connection and prepared statements, errors as EArchive.
#pragma once

#include "archive/ArchiveError.h"

#include <cstdint>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace archive {

class TDatabase {
public:
    // Opens (and with create, makes) the file; busy waits up to busyMs for another writer.
    TDatabase(const std::string& path, bool create, int busyMs);
    TDatabase(const TDatabase&) = delete;
    TDatabase& operator=(const TDatabase&) = delete;
    ~TDatabase();

    void Exec(const std::string& sql);
    // As Exec, for a statement SQLite may refuse at once with "busy" instead of waiting, as
    // it does when two connections switch a new file's journal at the same moment: tried
    // again until the busy wait given at opening has passed.
    void ExecWaitingWhileBusy(const std::string& sql);
    // Throws EArchive with what SQLite said, prefixed by what was being done.
    [[noreturn]] void Fail(const std::string& doing) const;
    int64_t LastInsertId() const;
    sqlite3* Handle() const { return Db; }
    const std::string& Path() const { return FilePath; }

private:
    sqlite3* Db = nullptr;
    std::string FilePath;
    int BusyMs = 0;
};

class TStatement {
public:
    TStatement(const TDatabase& db, std::string_view sql);
    TStatement(const TStatement&) = delete;
    TStatement& operator=(const TStatement&) = delete;
    ~TStatement();

    TStatement& Bind(int at, int64_t value);
    TStatement& Bind(int at, const std::string& text);
    TStatement& BindNull(int at);
    // True while a row is there to read; false once the statement is done.
    bool Step();
    // Runs a statement that returns no rows.
    void Run();
    void Reset();

    int64_t Int(int column) const;
    std::string Text(int column) const;
    bool IsNull(int column) const;

private:
    const TDatabase& Db;
    sqlite3_stmt* Stmt = nullptr;
};

// BEGIN IMMEDIATE takes the write lock at once, so two writers queue on the busy timeout
// instead of one failing halfway when it tries to upgrade its read lock.
class TWriteTransaction {
public:
    explicit TWriteTransaction(TDatabase& db);
    ~TWriteTransaction();
    void Commit();

private:
    TDatabase& Db;
    bool Done = false;
};

} // namespace archive
