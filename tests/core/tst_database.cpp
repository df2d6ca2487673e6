#include "TestFolder.h"
#include "app/OrvError.h"
#include "app/StatusLog.h"
#include "store/Database.h"
#include "store/FetchStack.h"

#include <QFile>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace orv;

namespace {

QVariant scalar(Database& db, const QString& sql) {
    QSqlQuery q = db.prepare(sql);
    Database::exec(q);
    return q.next() ? q.value(0) : QVariant();
}

QStringList columnsOf(Database& db, const QString& table) {
    QSqlQuery q = db.prepare(u"SELECT name FROM pragma_table_info(?)"_s);
    q.addBindValue(table);
    Database::exec(q);
    QStringList names;
    while (q.next()) {
        names.append(q.value(0).toString());
    }
    return names;
}

} // namespace

class DatabaseTest : public QObject {
    Q_OBJECT

private slots:
    void missingFileIsCreatedWithFullSchema() {
        test::TestFolder dir;
        Database db(dir.file(u"database.mdb"_s));
        db.open();
        QVERIFY(db.isOpen());
        const QFileInfo file(db.path());
        QCOMPARE(file.permissions() &
                     (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther),
                 QFile::Permissions());
        QCOMPARE(scalar(db, u"PRAGMA user_version"_s).toInt(), Database::SchemaVersion);
        QCOMPARE(scalar(db, u"PRAGMA journal_mode"_s).toString(), u"wal"_s);

        QCOMPARE(columnsOf(db, u"Posts"_s),
                 QStringList({u"ThisID"_s, u"PostID"_s, u"JournalID"_s, u"uName"_s, u"Header"_s,
                              u"Message"_s, u"Messagedate"_s, u"AddDate"_s, u"New"_s, u"Sent"_s,
                              u"Deleted"_s, u"AttachPath"_s, u"out_ParseURL"_s, u"out_Nocomment"_s,
                              u"out_Privatepost"_s, u"out_Subscribe"_s}));
        QCOMPARE(columnsOf(db, u"Comments"_s).size(), 15);
        QCOMPARE(columnsOf(db, u"PrivateMessages"_s),
                 QStringList({u"ID"_s, u"Out"_s, u"uName"_s, u"Message"_s, u"Messagedate"_s,
                              u"AddDate"_s, u"New"_s, u"Sent"_s, u"Deleted"_s}));
        QCOMPARE(columnsOf(db, u"AddressBook"_s),
                 QStringList({u"Nick"_s, u"Status"_s, u"New"_s, u"Old"_s}));
        QCOMPARE(columnsOf(db, u"Smiles"_s), QStringList({u"ID"_s, u"Smile"_s, u"SmileURL"_s}));
        QCOMPARE(columnsOf(db, u"tmp_MessagesToGet"_s),
                 QStringList({u"ID"_s, u"Type"_s, u"Direction"_s, u"ErrCode"_s}));

        QCOMPARE(scalar(db, u"SELECT count(*) FROM iniSettings"_s).toInt(), 22);
        QCOMPARE(scalar(db, u"SELECT iniValue FROM iniSettings WHERE iniVariable = 'ServiceURL'"_s)
                     .toString(),
                 u"https://kordenet.ru"_s);
        QCOMPARE(scalar(db, u"SELECT count(*) FROM iniSettings WHERE iniVariable = 'UserName' "
                            u"AND iniValue = ''"_s)
                     .toInt(),
                 1);
    }

    void reopeningKeepsDataAndAddsNoRows() {
        test::TestFolder dir;
        {
            Database db(dir.file(u"database.mdb"_s));
            db.open();
            db.execute(u"INSERT INTO Posts (PostID, uName) VALUES ('1', 'me')"_s);
        }
        Database db(dir.file(u"database.mdb"_s));
        db.open();
        QCOMPARE(scalar(db, u"SELECT count(*) FROM Posts"_s).toInt(), 1);
        QCOMPARE(scalar(db, u"SELECT count(*) FROM iniSettings"_s).toInt(), 22);
    }

    void localIdentifiersNeverRepeat() {
        test::TestFolder dir;
        Database db(dir.file(u"database.mdb"_s));
        db.open();
        db.execute(u"INSERT INTO Posts (PostID) VALUES ('a')"_s);
        db.execute(u"INSERT INTO Posts (PostID) VALUES ('b')"_s);
        db.execute(u"DELETE FROM Posts WHERE ThisID = 2"_s);
        db.execute(u"INSERT INTO Posts (PostID) VALUES ('c')"_s);
        QCOMPARE(scalar(db, u"SELECT max(ThisID) FROM Posts"_s).toInt(), 3);
    }

    void unreadableFileFailsWithEngineText() {
        test::TestFolder dir;
        dir.write(u"database.mdb"_s, QByteArray(4096, 'x'));
        Database db(dir.file(u"database.mdb"_s));
        try {
            db.open();
            QFAIL("a file that is no database opened");
        } catch (const OrvError& e) {
            QVERIFY2(e.text().contains(u"not a database"_s), qPrintable(e.text()));
        }
        QVERIFY(!db.isOpen());
        QCOMPARE(dir.read(u"database.mdb"_s), QByteArray(4096, 'x')); // left as it was
        QVERIFY_THROWS_EXCEPTION(OrvError, db.execute(u"SELECT 1"_s));
    }

    void newerSchemaIsRefused() {
        test::TestFolder dir;
        {
            Database db(dir.file(u"database.mdb"_s));
            db.open();
            db.execute(u"PRAGMA user_version = 99"_s);
        }
        Database db(dir.file(u"database.mdb"_s));
        QVERIFY_THROWS_EXCEPTION(OrvError, db.open());
    }

    void existingTablesWithoutVersionAreKept() {
        // A copy made before versions were marked: the three-column address book stays.
        test::TestFolder dir;
        {
            Database db(dir.file(u"database.mdb"_s));
            db.open();
            db.execute(u"DROP TABLE AddressBook"_s);
            db.execute(u"CREATE TABLE AddressBook (Nick TEXT, Status TEXT, New INTEGER)"_s);
            db.execute(u"PRAGMA user_version = 0"_s);
        }
        Database db(dir.file(u"database.mdb"_s));
        db.open();
        QCOMPARE(columnsOf(db, u"AddressBook"_s).size(), 3);
        QCOMPARE(scalar(db, u"SELECT count(*) FROM iniSettings"_s).toInt(), 22);
        QCOMPARE(scalar(db, u"PRAGMA user_version"_s).toInt(), Database::SchemaVersion);
    }

    void olderVersionIsBroughtUpToDate() {
        test::TestFolder dir;
        {
            Database db(dir.file(u"database.mdb"_s));
            db.open();
            db.execute(u"DROP INDEX tmp_MessagesToGet_ID"_s);
            db.execute(u"INSERT INTO Smiles (Smile) VALUES (':)')"_s);
            db.execute(u"PRAGMA user_version = 1"_s);
        }
        Database db(dir.file(u"database.mdb"_s));
        db.open();
        QCOMPARE(scalar(db, u"PRAGMA user_version"_s).toInt(), 2);
        QCOMPARE(scalar(db, u"SELECT count(*) FROM sqlite_master WHERE name = "
                            u"'tmp_MessagesToGet_ID'"_s)
                     .toInt(),
                 1);
        QCOMPARE(scalar(db, u"SELECT count(*) FROM Smiles"_s).toInt(), 1);
    }

    void reconnectShowsWrittenRowsAndLogsFailures() {
        test::TestFolder dir;
        StatusLog log(dir.file(u"log.txt"_s));
        Database db(dir.file(u"database.mdb"_s));
        db.open();
        db.execute(u"INSERT INTO Smiles (Smile) VALUES (':)')"_s);
        db.ReConnect(log);
        QVERIFY(db.isOpen());
        QCOMPARE(scalar(db, u"SELECT Smile FROM Smiles"_s).toString(), u":)"_s);
        QVERIFY(log.lines().isEmpty());

        // A second connection sees what the first wrote.
        Database other(dir.file(u"database.mdb"_s));
        other.open();
        QCOMPARE(scalar(other, u"SELECT count(*) FROM Smiles"_s).toInt(), 1);

        db.close();
        QFile::remove(db.path() + u"-wal"_s);
        QFile::remove(db.path() + u"-shm"_s);
        other.close();
        dir.write(u"database.mdb"_s, QByteArray(4096, 'x'));
        db.ReConnect(log);
        QCOMPARE(log.lines().size(), 1);
        QVERIFY(log.currentText().contains(u"  Mod_DB.ReConnect: "_s));
        QVERIFY(!db.isOpen());
    }

    void transactionKeepsOrRollsBackOnFailure() {
        test::TestFolder dir;
        Database db(dir.file(u"database.mdb"_s));
        db.open();
        try {
            Database::Transaction t(db);
            db.execute(u"INSERT INTO Smiles (Smile) VALUES ('a')"_s);
            db.execute(u"INSERT INTO NoSuchTable VALUES (1)"_s);
            t.commit();
        } catch (const OrvError&) {
        }
        QCOMPARE(scalar(db, u"SELECT count(*) FROM Smiles"_s).toInt(), 1);
        try {
            Database::Transaction t(db, Database::Transaction::OnFailure::RollBack);
            db.execute(u"INSERT INTO Smiles (Smile) VALUES ('b')"_s);
            db.execute(u"INSERT INTO NoSuchTable VALUES (1)"_s);
            t.commit();
        } catch (const OrvError&) {
        }
        QCOMPARE(scalar(db, u"SELECT count(*) FROM Smiles"_s).toInt(), 1);
    }

    void fetchStackIsEmptied() {
        test::TestFolder dir;
        Database db(dir.file(u"database.mdb"_s));
        db.open();
        db.execute(u"INSERT INTO tmp_MessagesToGet (ID, Type, Direction) "
                   u"VALUES ('5', 'get_new_posts', 'in')"_s);
        FetchStack(db).clear();
        QCOMPARE(scalar(db, u"SELECT count(*) FROM tmp_MessagesToGet"_s).toInt(), 0);
    }
};

QTEST_GUILESS_MAIN(DatabaseTest)
#include "tst_database.moc"
