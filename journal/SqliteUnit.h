// PackMon - battery-pack cell-voltage logger
// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PackMonConstantsAndTypesUnit.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

// A failure of the database, with SQLite's primary result code so that the
// journal can tell a full disk or a busy lock from a damaged file.
class ESqliteError : public EPackMonException {
  public:
    ESqliteError(const std::string& AMessage, int ACode) : EPackMonException(AMessage), Code(ACode) {}
    int Code;
    bool Corrupt() const;
};

// One open connection; closed when destroyed.
class TSqliteDatabase {
  public:
    // Creates the file when Create is set, else fails on a missing one.
    TSqliteDatabase(const std::string& FileName, bool Create, int BusyTimeoutMs);
    ~TSqliteDatabase();
    TSqliteDatabase(const TSqliteDatabase&) = delete;
    TSqliteDatabase& operator=(const TSqliteDatabase&) = delete;

    // Runs statements that return no rows.
    void Execute(const char* Sql);
    std::int64_t QueryInteger(const char* Sql);
    std::int64_t LastInsertId() const;
    int Changes() const;
    [[noreturn]] void Fail(int Code) const;
    sqlite3* Handle() const { return Db; }

  private:
    sqlite3* Db = nullptr;
};

// A prepared statement, reset for its next use by Reset or by Step's end.
class TSqliteStatement {
  public:
    TSqliteStatement(TSqliteDatabase& ADatabase, const char* Sql);
    ~TSqliteStatement();
    TSqliteStatement(const TSqliteStatement&) = delete;
    TSqliteStatement& operator=(const TSqliteStatement&) = delete;

    TSqliteStatement& Bind(int Index, std::int64_t Value);
    TSqliteStatement& Bind(int Index, double Value);
    TSqliteStatement& Bind(int Index, std::string_view Value);
    TSqliteStatement& BindNull(int Index);
    TSqliteStatement& Bind(int Index, const std::optional<std::int64_t>& Value);
    // True while there is a row to read.
    bool Step();
    // Runs a statement that returns no rows and makes it ready again.
    void Run();
    void Reset();

    std::int64_t Integer(int Column) const;
    double Real(int Column) const;
    std::string Text(int Column) const;
    bool IsNull(int Column) const;

  private:
    TSqliteDatabase& Database;
    sqlite3_stmt* Statement = nullptr;
};

// A transaction rolled back unless committed.
class TSqliteTransaction {
  public:
    explicit TSqliteTransaction(TSqliteDatabase& ADatabase);
    ~TSqliteTransaction();
    TSqliteTransaction(const TSqliteTransaction&) = delete;
    TSqliteTransaction& operator=(const TSqliteTransaction&) = delete;
    void Commit();

  private:
    TSqliteDatabase& Database;
    bool Open = true;
};
