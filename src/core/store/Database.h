#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

namespace orv {

class StatusLog;

// The connection to database.mdb, an SQLite file. A missing file is created with
// the full schema; an older schema is brought up to date step by step. Each
// instance has its own connection, so a worker thread can open one of its own.
// Every failure throws OrvError with the engine's text.
class Database {
public:
    static constexpr int SchemaVersion = 2;

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
    void execute(const QString& sql);

    // Groups writes. When a transaction ends without commit() (a failure left
    // it), KeepStored commits what it holds, so rows stored before a failing row
    // stay stored; RollBack undoes it all.
    class Transaction {
    public:
        enum class OnFailure { KeepStored, RollBack };

        explicit Transaction(Database& db, OnFailure onFailure = OnFailure::KeepStored);
        ~Transaction();
        Transaction(const Transaction&) = delete;
        Transaction& operator=(const Transaction&) = delete;
        void commit();

    private:
        Database& m_db;
        const OnFailure m_onFailure;
        bool m_open = true;
    };

private:
    void migrate();
    int userVersion();
    bool hasTable(const QString& name);
    void createSchema();

    const QString m_path;
    const QString m_connectionName;
};

} // namespace orv
