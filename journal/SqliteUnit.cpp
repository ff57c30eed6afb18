// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#include "SqliteUnit.h"

#include <sqlite3.h>

bool ESqliteError::Corrupt() const { return (Code & 0xFF) == SQLITE_CORRUPT || (Code & 0xFF) == SQLITE_NOTADB; }

TSqliteDatabase::TSqliteDatabase(const std::string& FileName, bool Create, int BusyTimeoutMs) {
    const int Flags = SQLITE_OPEN_READWRITE | (Create ? SQLITE_OPEN_CREATE : 0) | SQLITE_OPEN_NOMUTEX;
    const int Code = sqlite3_open_v2(FileName.c_str(), &Db, Flags, nullptr);
    if (Code != SQLITE_OK) {
        const std::string Message = Db != nullptr ? sqlite3_errmsg(Db) : sqlite3_errstr(Code);
        sqlite3_close(Db);
        Db = nullptr;
        throw ESqliteError(Message, Code);
    }
    sqlite3_extended_result_codes(Db, 1);
    sqlite3_busy_timeout(Db, BusyTimeoutMs);
}

TSqliteDatabase::~TSqliteDatabase() { sqlite3_close_v2(Db); }

void TSqliteDatabase::Fail(int Code) const { throw ESqliteError(sqlite3_errmsg(Db), Code); }

void TSqliteDatabase::Execute(const char* Sql) {
    const int Code = sqlite3_exec(Db, Sql, nullptr, nullptr, nullptr);
    if (Code != SQLITE_OK)
        Fail(Code);
}

std::int64_t TSqliteDatabase::QueryInteger(const char* Sql) {
    TSqliteStatement Query(*this, Sql);
    return Query.Step() ? Query.Integer(0) : 0;
}

std::int64_t TSqliteDatabase::LastInsertId() const { return sqlite3_last_insert_rowid(Db); }

int TSqliteDatabase::Changes() const { return sqlite3_changes(Db); }

TSqliteStatement::TSqliteStatement(TSqliteDatabase& ADatabase, const char* Sql) : Database(ADatabase) {
    const int Code = sqlite3_prepare_v3(Database.Handle(), Sql, -1, SQLITE_PREPARE_PERSISTENT, &Statement, nullptr);
    if (Code != SQLITE_OK)
        Database.Fail(Code);
}

TSqliteStatement::~TSqliteStatement() { sqlite3_finalize(Statement); }

TSqliteStatement& TSqliteStatement::Bind(int Index, std::int64_t Value) {
    sqlite3_bind_int64(Statement, Index, Value);
    return *this;
}

TSqliteStatement& TSqliteStatement::Bind(int Index, double Value) {
    sqlite3_bind_double(Statement, Index, Value);
    return *this;
}

TSqliteStatement& TSqliteStatement::Bind(int Index, std::string_view Value) {
    sqlite3_bind_text64(Statement, Index, Value.data(), Value.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
    return *this;
}

TSqliteStatement& TSqliteStatement::BindNull(int Index) {
    sqlite3_bind_null(Statement, Index);
    return *this;
}

TSqliteStatement& TSqliteStatement::Bind(int Index, const std::optional<std::int64_t>& Value) {
    return Value ? Bind(Index, *Value) : BindNull(Index);
}

bool TSqliteStatement::Step() {
    const int Code = sqlite3_step(Statement);
    if (Code == SQLITE_ROW)
        return true;
    sqlite3_reset(Statement);
    if (Code != SQLITE_DONE)
        Database.Fail(Code);
    return false;
}

void TSqliteStatement::Run() {
    while (Step()) {
    }
}

void TSqliteStatement::Reset() { sqlite3_reset(Statement); }

std::int64_t TSqliteStatement::Integer(int Column) const { return sqlite3_column_int64(Statement, Column); }

double TSqliteStatement::Real(int Column) const { return sqlite3_column_double(Statement, Column); }

std::string TSqliteStatement::Text(int Column) const {
    const auto* Bytes = reinterpret_cast<const char*>(sqlite3_column_text(Statement, Column));
    return Bytes != nullptr ? std::string(Bytes, static_cast<std::size_t>(sqlite3_column_bytes(Statement, Column)))
                            : std::string();
}

bool TSqliteStatement::IsNull(int Column) const { return sqlite3_column_type(Statement, Column) == SQLITE_NULL; }

TSqliteTransaction::TSqliteTransaction(TSqliteDatabase& ADatabase) : Database(ADatabase) {
    Database.Execute("BEGIN IMMEDIATE");
}

TSqliteTransaction::~TSqliteTransaction() {
    if (Open)
        sqlite3_exec(Database.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void TSqliteTransaction::Commit() {
    Database.Execute("COMMIT");
    Open = false;
}
