#include "TestFolder.h"
#include "app/OrvError.h"
#include "app/StatusLog.h"
#include "app/TextFiles.h"
#include "app/WorkingFolder.h"
#include "store/Database.h"
#include "store/FetchStack.h"

#include <QDir>
#include <QFile>
#include <QtTest>
#include <sys/stat.h>

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
            db.execute(u"DROP INDEX AddressBook_Nick"_s);
            db.execute(u"INSERT INTO Smiles (Smile) VALUES (':)')"_s);
            db.execute(u"PRAGMA user_version = 1"_s);
        }
        Database db(dir.file(u"database.mdb"_s));
        db.open();
        QCOMPARE(scalar(db, u"PRAGMA user_version"_s).toInt(), Database::SchemaVersion);
        QCOMPARE(scalar(db, u"SELECT count(*) FROM sqlite_master WHERE name = "
                            u"'AddressBook_Nick'"_s)
                     .toInt(),
                 1);
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

    void secretsArePrivateWhateverTheUmask() {
        test::TestFolder dir;
        const WorkingFolder folder = dir.folder();
        const mode_t umaskBefore = ::umask(0022);
        QDir().mkpath(folder.tmpFolder());
        QFile::setPermissions(folder.tmpFolder(), QFile::Permissions(0x7755));
        for (const QString& path :
             {folder.databasePath(), folder.logPath(), folder.PostFilePath()}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.setPermissions(QFile::Permissions(0x6644));
        }
        folder.ensureTmpFolder();
        Database db(folder.databasePath());
        db.open();
        db.execute(u"INSERT INTO Smiles (Smile) VALUES ('a')"_s); // brings the -wal file
        TextFiles::WriteTextFile(folder.tmpFolder() + u"/new.tmp"_s, u"<QUERYS/>"_s);
        TextFiles::AppendLine(folder.AppFolder() + u"/new.txt"_s, u"строка"_s);
        ::umask(umaskBefore);

        const auto mode = [](const QString& path) {
            struct stat info {};
            return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 0777
                                                                           : 0;
        };
        QCOMPARE(mode(folder.tmpFolder()), 0700u);
        for (const QString& path :
             {folder.databasePath(), QString(folder.databasePath() + u"-wal"_s),
              QString(folder.databasePath() + u"-shm"_s), folder.logPath(), folder.PostFilePath(),
              QString(folder.tmpFolder() + u"/new.tmp"_s),
              QString(folder.AppFolder() + u"/new.txt"_s)}) {
            QVERIFY2(mode(path) == 0600u, qPrintable(path));
        }
    }
};

QTEST_GUILESS_MAIN(DatabaseTest)
#include "tst_database.moc"
