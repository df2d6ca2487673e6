#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <memory>
#include <unordered_map>

struct sqlite3;

namespace orv {

class StatusLog;
class Statement;

// The connection to database.mdb, an SQLite file. A missing file is created with
// the full schema; an older schema is brought up to date step by step. Each
// instance has its own connection, so a worker thread can open one of its own.
// Every failure throws OrvError with the engine's text.
class Database {
public:
    static constexpr int SchemaVersion = 11;

    explicit Database(QString path);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    void open();
    void close();
    bool isOpen() const;
    const QString& path() const { return m_path; }

    // Closes and reopens the connection; a failure is logged as
    // "Mod_DB.ReConnect: " and leaves the connection as the failure left it.
    void ReConnect(StatusLog& log);

    // A query prepared on this connection; values go in with bindValue.
    QSqlQuery prepare(const QString& sql);
    static void exec(QSqlQuery& query);
    // Values bound as one parameter, for "IN (SELECT value FROM json_each(?))":
    // one statement serves a whole batch.
    static QString jsonArray(const QStringList& values);

    void execute(const QString& sql);
    // As execute(), for the few texts run thousands of times a run: a
    // transaction's begin and commit and its savepoints. Each is prepared once
    // while the connection stays open; preparing one cost as much as running it.
    void executeKept(const QString& sql);

    // The engine's own handle of the open connection, for Statement. Qt's
    // driver on Debian links the system SQLite, the library linked here.
    sqlite3* handle();

    // Groups writes. The outermost transaction takes the write lock at once
    // (BEGIN IMMEDIATE), so a writer on another connection waits for it instead
    // of failing half-way; one opened inside another is a savepoint of it. When
    // a transaction ends without commit() (a failure left it), KeepStored keeps
    // what it holds, so rows stored before a failing row stay stored; RollBack
    // undoes it all.
    class Transaction {
    public:
        enum class OnFailure { KeepStored, RollBack };

        explicit Transaction(Database& db, OnFailure onFailure = OnFailure::KeepStored);
        ~Transaction();
        Transaction(const Transaction&) = delete;
        Transaction& operator=(const Transaction&) = delete;
        // Throws OrvError when the engine refuses; the transaction then stays
        // open and its destructor ends it as OnFailure says.
        void commit();

    private:
        void end(bool keep) noexcept;

        Database& m_db;
        const OnFailure m_onFailure;
        const int m_depth; // 0 for the outermost
        bool m_open = true;
    };

private:
    void migrate();
    int userVersion();
    bool hasTable(const QString& name);
    // Adds the column unless the table has it already.
    void addColumn(const QString& table, const QString& column, const QString& type);
    void createSchema();

    const QString m_path;
    const QString m_connectionName;
    int m_transactionDepth = 0;
    // Let go of before the connection closes: the engine does not close a
    // connection that has statements left.
    std::unordered_map<QString, std::unique_ptr<Statement>> m_kept;
};

} // namespace orv
