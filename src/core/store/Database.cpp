#include "Database.h"

#include "SearchIndex.h"
#include "Statement.h"
#include "app/ErrorTrap.h"
#include "app/OrvError.h"
#include "app/PrivateFiles.h"

#include <QAtomicInteger>
#include <QFile>
#include <QSqlDriver>
#include <QSqlError>
#include <QStringList>

using namespace Qt::StringLiterals;

namespace orv {
namespace {

QString nextConnectionName() {
    static QAtomicInteger<int> counter;
    return u"orv-db-"_s + QString::number(counter.fetchAndAddRelaxed(1));
}

QString errorText(const QSqlError& error) {
    const QString text = error.text().trimmed();
    return text.isEmpty() ? u"ошибка базы данных"_s : text;
}

// The schema file holds one statement per ";"-terminated block.
QStringList schemaStatements() {
    QFile file(u":/orv/schema.sql"_s);
    if (!file.open(QIODevice::ReadOnly)) {
        throw OrvError(u"нет описания схемы базы данных"_s);
    }
    QStringList statements;
    QString current;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(u'\n')) {
        if (line.trimmed().startsWith(u"--"_s)) {
            continue;
        }
        current += line + u'\n';
        if (line.trimmed().endsWith(u';')) {
            statements.append(current.trimmed());
            current.clear();
        }
    }
    return statements;
}

} // namespace

Database::Database(QString path)
    : m_path(std::move(path))
    , m_connectionName(nextConnectionName()) {}

Database::~Database() {
    close();
    QSqlDatabase::removeDatabase(m_connectionName);
}

void Database::open() {
    // The file holds the password: private to the user, also when it was made
    // or copied with a wider mode. The engine gives its -wal and -shm files
    // the mode of the database file.
    for (const QString& file : {m_path, QString(m_path + u"-wal"_s), QString(m_path + u"-shm"_s)}) {
        PrivateFiles::restrict(file);
    }
    if (!QFile::exists(m_path)) {
        QFile file(m_path);
        if (!PrivateFiles::open(file, QIODevice::WriteOnly)) {
            throw OrvError(u"Не могу создать файл "_s + m_path + u" ("_s + file.errorString() +
                           u')');
        }
    }
    QSqlDatabase db = QSqlDatabase::contains(m_connectionName)
                          ? QSqlDatabase::database(m_connectionName, false)
                          : QSqlDatabase::addDatabase(u"QSQLITE"_s, m_connectionName);
    db.setDatabaseName(m_path);
    db.setConnectOptions(u"QSQLITE_BUSY_TIMEOUT=5000"_s);
    if (!db.open()) {
        throw OrvError(errorText(db.lastError()));
    }
    try {
        execute(u"PRAGMA journal_mode=WAL"_s);
        // With a write-ahead log this keeps the file whole on a crash; only the
        // last commits may be lost on a power cut, and commits need no fsync.
        execute(u"PRAGMA synchronous=NORMAL"_s);
        migrate();
    } catch (...) {
        db.close();
        throw;
    }
}

void Database::close() {
    m_kept.clear();
    if (QSqlDatabase::contains(m_connectionName)) {
        QSqlDatabase::database(m_connectionName, false).close();
    }
}

bool Database::isOpen() const {
    return QSqlDatabase::contains(m_connectionName) &&
           QSqlDatabase::database(m_connectionName, false).isOpen();
}

void Database::ReConnect(StatusLog& log) {
    runTrapped(log, u"Mod_DB.ReConnect: "_s, [this] {
        close();
        open();
    });
}

sqlite3* Database::handle() {
    const QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    const QVariant handle = db.isOpen() ? db.driver()->handle() : QVariant();
    if (qstrcmp(handle.typeName(), "sqlite3*") != 0) {
        throw OrvError(u"база данных не открыта"_s);
    }
    return *static_cast<sqlite3* const*>(handle.constData());
}

QSqlQuery Database::prepare(const QString& sql) {
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    if (!db.isOpen()) {
        throw OrvError(u"база данных не открыта"_s);
    }
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.prepare(sql)) {
        throw OrvError(errorText(query.lastError()));
    }
    return query;
}

void Database::exec(QSqlQuery& query) {
    if (!query.exec()) {
        throw OrvError(errorText(query.lastError()));
    }
}

QString Database::jsonArray(const QStringList& values) {
    // Written by hand: a document object costs more than the statement that
    // reads it.
    QString json;
    json.reserve(2 + values.size() * 12);
    json += u'[';
    for (const QString& value : values) {
        if (json.size() > 1) {
            json += u',';
        }
        json += u'"';
        for (const QChar c : value) {
            if (c == u'"' || c == u'\\') {
                json += u'\\';
                json += c;
            } else if (c.unicode() < 0x20) {
                json += u"\\u00"_s;
                json += QChar(u"0123456789abcdef"[c.unicode() >> 4]);
                json += QChar(u"0123456789abcdef"[c.unicode() & 0xf]);
            } else {
                json += c;
            }
        }
        json += u'"';
    }
    json += u']';
    return json;
}

void Database::execute(const QString& sql) {
    // On the engine's own handle: every transaction begins and commits, and
    // every savepoint opens, this way; QtSql's statement objects cost more
    // than such a statement.
    Statement(*this, sql).exec();
}

void Database::executeKept(const QString& sql) {
    std::unique_ptr<Statement>& kept = m_kept[sql];
    if (!kept) {
        kept = std::make_unique<Statement>(*this, sql);
    }
    kept->exec();
}

int Database::userVersion() {
    QSqlQuery query = prepare(u"PRAGMA user_version"_s);
    exec(query);
    return query.next() ? query.value(0).toInt() : 0;
}

bool Database::hasTable(const QString& name) {
    QSqlQuery query = prepare(u"SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?"_s);
    query.addBindValue(name);
    exec(query);
    return query.next();
}

void Database::migrate() {
    const int version = userVersion();
    if (version > SchemaVersion) {
        throw OrvError(u"файл базы данных создан более новой версией программы"_s);
    }
    if (version == SchemaVersion) {
        return;
    }
    Transaction transaction(*this, Transaction::OnFailure::RollBack);
    if (version == 0 && !hasTable(u"Posts"_s)) {
        createSchema(); // a new file starts at the current version
    } else {
        // Each step brings a file of the version before it one version on.
        const QStringList steps[] = {
            /* 1 -> 2 */ {u"CREATE INDEX IF NOT EXISTS tmp_MessagesToGet_ID ON "
                          u"tmp_MessagesToGet (ID)"_s},
            /* 2 -> 3 */
            {u"CREATE INDEX IF NOT EXISTS AddressBook_Nick ON AddressBook (Nick, Status)"_s},
            /* 3 -> 4: the search tables, see below */
            {},
            /* 4 -> 5: the search tables without column sizes, see below */
            {u"DROP TABLE IF EXISTS PostsText"_s, u"DROP TABLE IF EXISTS CommentsText"_s,
             u"DROP TABLE IF EXISTS PrivatesText"_s},
            /* 5 -> 6: kept answers; the new columns, see below */
            {u"CREATE TABLE IF NOT EXISTS tmp_KeptAnswers (ID INTEGER PRIMARY KEY "
             u"AUTOINCREMENT, Kind TEXT NOT NULL, Answer TEXT NOT NULL, Received TEXT)"_s},
            /* 6 -> 7 */
            {u"CREATE TABLE IF NOT EXISTS Drafts (ID INTEGER PRIMARY KEY, Saved TEXT NOT NULL, "
             u"State TEXT NOT NULL)"_s},
            /* 7 -> 8 */
            {u"CREATE TABLE IF NOT EXISTS PendingDecisions (Tbl TEXT NOT NULL, MessageKey "
             u"INTEGER NOT NULL, Error TEXT NOT NULL, PRIMARY KEY (Tbl, MessageKey))"_s},
            /* 8 -> 9: the start's clean-up finds read rows without reading them all */
            {u"CREATE INDEX IF NOT EXISTS Posts_Read ON Posts (AddDate) WHERE New = 0 AND Sent "
             u"<> 0"_s,
             u"CREATE INDEX IF NOT EXISTS Comments_Read ON Comments (AddDate) WHERE New = 0 AND "
             u"Sent <> 0"_s},
            /* 9 -> 10 */
            {u"CREATE TABLE IF NOT EXISTS Pictures (URL TEXT PRIMARY KEY, Bytes INTEGER, Shown "
             u"INTEGER NOT NULL DEFAULT 0, Misses INTEGER NOT NULL DEFAULT 0)"_s,
             u"INSERT INTO iniSettings (iniVariable, iniValue, SortID, comment) SELECT "
             u"'LoadPictures', '1', 23, 'Загружать картинки (1 - да, 0 - нет)' WHERE NOT EXISTS "
             u"(SELECT 1 FROM iniSettings WHERE iniVariable = 'LoadPictures')"_s,
             u"INSERT INTO iniSettings (iniVariable, iniValue, SortID, comment) SELECT "
             u"'PictureCacheMB', '500', 24, 'Размер кэша картинок, МБ' WHERE NOT EXISTS "
             u"(SELECT 1 FROM iniSettings WHERE iniVariable = 'PictureCacheMB')"_s},
            /* 10 -> 11: the search tables read words the store splits, see below */
            {u"DROP TABLE IF EXISTS PostsText"_s, u"DROP TABLE IF EXISTS CommentsText"_s,
             u"DROP TABLE IF EXISTS PrivatesText"_s},
        };
        for (int from = std::max(version, 1); from < SchemaVersion; ++from) {
            for (const QString& statement : steps[from - 1]) {
                execute(statement);
            }
        }
        if (version < 11) {
            // The search tables, and every message already stored indexed.
            // Since version 5 they keep no column sizes: only a ranking by
            // relevance would read them, and writing them made storing slow.
            // Since version 11 they hold the words in lower case between
            // blanks, for the cheap tokenizer.
            for (const QString& statement : schemaStatements()) {
                if (statement.contains(u"USING fts5"_s) || statement.contains(u"_Unindex"_s)) {
                    execute(statement);
                }
            }
            SearchIndex(*this).rebuild();
        }
        if (version < 6) {
            // Sends in doubt and the misses of the fetch stack.
            for (const QString& table : {u"Posts"_s, u"Comments"_s, u"PrivateMessages"_s}) {
                addColumn(table, u"HandedOver"_s, u"TEXT"_s);
            }
            addColumn(u"tmp_MessagesToGet"_s, u"Misses"_s, u"INTEGER NOT NULL DEFAULT 0"_s);
            // Receiving looks for rows in doubt with every batch it stores.
            execute(u"CREATE INDEX IF NOT EXISTS Posts_InDoubt ON Posts (ThisID) WHERE HandedOver "
                    u"IS NOT NULL"_s);
            execute(u"CREATE INDEX IF NOT EXISTS Comments_InDoubt ON Comments (ThisID) WHERE "
                    u"HandedOver IS NOT NULL"_s);
        }
    }
    execute(u"PRAGMA user_version = "_s + QString::number(SchemaVersion));
    transaction.commit();
}

void Database::addColumn(const QString& table, const QString& column, const QString& type) {
    QSqlQuery query = prepare(u"SELECT 1 FROM pragma_table_info(?) WHERE name = ?"_s);
    query.addBindValue(table);
    query.addBindValue(column);
    exec(query);
    if (!query.next()) {
        execute(u"ALTER TABLE "_s + table + u" ADD COLUMN "_s + column + u' ' + type);
    }
}

void Database::createSchema() {
    for (const QString& statement : schemaStatements()) {
        execute(statement);
    }
}

Database::Transaction::Transaction(Database& db, OnFailure onFailure)
    : m_db(db)
    , m_onFailure(onFailure)
    , m_depth(db.m_transactionDepth) {
    m_db.executeKept(m_depth == 0 ? u"BEGIN IMMEDIATE"_s
                                  : u"SAVEPOINT nested_"_s + QString::number(m_depth));
    ++m_db.m_transactionDepth;
}

Database::Transaction::~Transaction() {
    if (m_open) {
        end(m_onFailure == OnFailure::KeepStored);
    }
}

void Database::Transaction::commit() {
    m_db.executeKept(m_depth == 0 ? u"COMMIT"_s : u"RELEASE nested_"_s + QString::number(m_depth));
    m_open = false;
    --m_db.m_transactionDepth;
}

void Database::Transaction::end(bool keep) noexcept {
    QSqlQuery query(QSqlDatabase::database(m_db.m_connectionName, false));
    const QString savepoint = u"nested_"_s + QString::number(m_depth);
    if (m_depth > 0) {
        if (!keep) {
            query.exec(u"ROLLBACK TO "_s + savepoint);
        }
        query.exec(u"RELEASE "_s + savepoint);
    } else if (!keep || !query.exec(u"COMMIT"_s)) {
        query.exec(u"ROLLBACK"_s); // a failed COMMIT leaves the transaction open
    }
    m_open = false;
    --m_db.m_transactionDepth;
}

} // namespace orv
