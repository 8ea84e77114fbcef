#include "archive/Sqlite.h"

#include <sqlite3.h>

namespace archive {

TDatabase::TDatabase(const std::string& path, bool create, int busyMs)
    : FilePath(path), BusyMs(busyMs) {
    // A connection belongs to the one thread that opened it, so SQLite need not lock each call.
    const int flags =
        SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0) | SQLITE_OPEN_NOMUTEX;
    if (sqlite3_open_v2(path.c_str(), &Db, flags, nullptr) != SQLITE_OK) {
        const std::string why = Db ? sqlite3_errmsg(Db) : "out of memory";
        sqlite3_close(Db);
        Db = nullptr;
        throw EArchive("Cannot open the archive " + path + ": " + why);
    }
    sqlite3_extended_result_codes(Db, 1);
    sqlite3_busy_timeout(Db, busyMs);
}

TDatabase::~TDatabase() {
    sqlite3_close_v2(Db);
}

void TDatabase::Exec(const std::string& sql) {
    if (sqlite3_exec(Db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK)
        Fail("Cannot use the archive");
}

void TDatabase::ExecWaitingWhileBusy(const std::string& sql) {
    constexpr int PauseMs = 10;
    for (int waited = 0;; waited += PauseMs) {
        const int result = sqlite3_exec(Db, sql.c_str(), nullptr, nullptr, nullptr);
        if (result == SQLITE_OK)
            return;
        if ((result & 0xFF) != SQLITE_BUSY || waited >= BusyMs)
            Fail("Cannot use the archive");
        sqlite3_sleep(PauseMs);
    }
}

int64_t TDatabase::LastInsertId() const {
    return sqlite3_last_insert_rowid(Db);
}

void TDatabase::Fail(const std::string& doing) const {
    throw EArchive(doing + " " + FilePath + ": " + sqlite3_errmsg(Db));
}

TStatement::TStatement(const TDatabase& db, std::string_view sql) : Db(db) {
    if (sqlite3_prepare_v2(db.Handle(), sql.data(), static_cast<int>(sql.size()), &Stmt, nullptr) !=
        SQLITE_OK)
        Db.Fail("Cannot read the archive");
}

TStatement::~TStatement() {
    sqlite3_finalize(Stmt);
}

TStatement& TStatement::Bind(int at, int64_t value) {
    sqlite3_bind_int64(Stmt, at, value);
    return *this;
}

TStatement& TStatement::Bind(int at, const std::string& text) {
    sqlite3_bind_text(Stmt, at, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    return *this;
}

TStatement& TStatement::BindNull(int at) {
    sqlite3_bind_null(Stmt, at);
    return *this;
}

bool TStatement::Step() {
    const int rc = sqlite3_step(Stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    Db.Fail("Cannot use the archive");
}

void TStatement::Run() {
    while (Step()) {
    }
    Reset();
}

void TStatement::Reset() {
    sqlite3_reset(Stmt);
    sqlite3_clear_bindings(Stmt);
}

int64_t TStatement::Int(int column) const {
    return sqlite3_column_int64(Stmt, column);
}

std::string TStatement::Text(int column) const {
    const auto* text = sqlite3_column_text(Stmt, column);
    return text ? std::string(reinterpret_cast<const char*>(text),
                              static_cast<std::size_t>(sqlite3_column_bytes(Stmt, column)))
                : std::string();
}

bool TStatement::IsNull(int column) const {
    return sqlite3_column_type(Stmt, column) == SQLITE_NULL;
}

TWriteTransaction::TWriteTransaction(TDatabase& db) : Db(db) {
    Db.Exec("BEGIN IMMEDIATE");
}

TWriteTransaction::~TWriteTransaction() {
    if (!Done)
        sqlite3_exec(Db.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void TWriteTransaction::Commit() {
    Db.Exec("COMMIT");
    Done = true;
}

} // namespace archive
