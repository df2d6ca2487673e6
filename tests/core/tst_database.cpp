#include "StoreCheck.h"
#include "TestData.h"
#include "TestFolder.h"
#include "app/OrvError.h"
#include "app/StatusLog.h"
#include "app/TextFiles.h"
#include "app/WorkingFolder.h"
#include "store/Database.h"
#include "store/StoreCopy.h"

#include <QDir>
#include <QFile>
#include <QtTest>
#include <sys/stat.h>

using namespace Qt::StringLiterals;
using namespace orv;
using test::rows;

class DatabaseTest : public QObject {
    Q_OBJECT

private slots:
    // A missing file is created private, of the current schema, and hands out
    // local identifiers that never repeat.
    void missingFileIsCreatedPrivateAndCurrent() {
        test::StoreFolder f;
        QCOMPARE(QFileInfo(f.db.path()).permissions() &
                     (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther),
                 QFile::Permissions());
        QCOMPARE(rows(f.db, u"PRAGMA user_version"_s),
                 QStringList{QString::number(Database::SchemaVersion)});
        QCOMPARE(rows(f.db, u"PRAGMA journal_mode"_s), QStringList{u"wal"_s});
        f.db.execute(u"INSERT INTO Posts (PostID) VALUES ('a'), ('b')"_s);
        f.db.execute(u"DELETE FROM Posts WHERE ThisID = 2"_s);
        f.db.execute(u"INSERT INTO Posts (PostID) VALUES ('c')"_s);
        QCOMPARE(rows(f.db, u"SELECT max(ThisID) FROM Posts"_s), QStringList{u"3"_s});
    }

    // A store left by this or an older version opens with its rows, brought up
    // to date step by step; a newer one is refused and left alone.
    void upgrades_data() {
        test::addRows(u"store/upgrades.tsv"_s, {"before", "check", "expected"});
    }

    void upgrades() {
        const auto [before, check, expected] = test::cells({"before", "check", "expected"});
        test::TestFolder dir;
        {
            Database db(dir.file(u"database.mdb"_s));
            db.open();
            for (const QString& statement : before.split(u"; "_s)) {
                db.execute(statement);
            }
        }
        Database db(dir.file(u"database.mdb"_s));
        if (expected.isEmpty()) {
            QVERIFY_THROWS_EXCEPTION(OrvError, db.open());
            return;
        }
        db.open();
        QCOMPARE(rows(db, check), QStringList{expected});
        QCOMPARE(rows(db, u"SELECT count(*) FROM iniSettings"_s), QStringList{u"24"_s});
        QCOMPARE(rows(db, u"PRAGMA user_version"_s),
                 QStringList{QString::number(Database::SchemaVersion)});
    }

    // A copy taken while the store is open comes back whole; the store it
    // replaces stays beside it; a failed copy leaves no file.
    void aCopyOfTheStoreComesBack() {
        test::StoreFolder f;
        f.db.execute(u"INSERT INTO Posts (PostID, Message) VALUES ('1', 'до копии')"_s);
        const QString copy = f.dir.file(u"copy.mdb"_s);
        f.dir.write(u"copy.mdb"_s, "an older copy, replaced");
        StoreCopy::backup(f.db, copy);
        QCOMPARE(StoreCopy::restoreProblem(copy), QString());
        f.db.execute(u"INSERT INTO Posts (PostID, Message) VALUES ('2', 'после копии')"_s);

        StoreCopy::restore(f.db, copy);
        QCOMPARE(rows(f.db, u"SELECT Message FROM Posts"_s), QStringList{u"до копии"_s});
        Database kept(f.db.path() + u".before-restore"_s);
        kept.open();
        QCOMPARE(rows(kept, u"SELECT count(*) FROM Posts"_s), QStringList{u"2"_s});

        QVERIFY_THROWS_EXCEPTION(OrvError, StoreCopy::backup(f.db, u"/proc/no/copy.mdb"_s));
        QDir().mkpath(f.dir.file(u"full"_s));
        QVERIFY_THROWS_EXCEPTION(OrvError, StoreCopy::backup(f.db, f.dir.file(u"full"_s)));
        QVERIFY(!QFile::exists(f.dir.file(u"full.part"_s)));
    }

    void aCopyThatCannotServeIsRefused_data() {
        QTest::addColumn<QByteArray>("damage"); // done to a good copy
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing") << QByteArray("remove") << u"Не могу прочитать файл "_s;
        QTest::newRow("not a store") << QByteArray("text") << u"не является базой программы"_s;
        QTest::newRow("another database")
            << QByteArray("DROP TABLE Posts") << u"не является базой программы"_s;
        QTest::newRow("newer") << QByteArray("PRAGMA user_version = 99")
                               << u"создан более новой версией программы"_s;
        QTest::newRow("damaged") << QByteArray("garble") << u"повреждён"_s;
    }
    void aCopyThatCannotServeIsRefused() {
        QFETCH(QByteArray, damage);
        QFETCH(QString, reason);
        test::StoreFolder f;
        f.db.execute(u"WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < "
                     u"2000) INSERT INTO Posts (PostID, Message) SELECT i, hex(randomblob(200)) "
                     u"FROM n"_s);
        const QString copy = f.dir.file(u"copy.mdb"_s);
        StoreCopy::backup(f.db, copy);
        if (damage == "remove" || damage == "text") {
            QFile::remove(copy);
            if (damage == "text") {
                f.dir.write(u"copy.mdb"_s, QByteArray(8192, 'x'));
            }
        } else if (damage == "garble") {
            QFile file(copy);
            QVERIFY(file.open(QIODevice::ReadWrite));
            file.seek(file.size() / 2);
            file.write(QByteArray(8192, '\xff'));
        } else {
            Database other(copy);
            other.open();
            other.execute(QString::fromUtf8(damage));
        }
        QVERIFY2(StoreCopy::restoreProblem(copy).contains(reason),
                 qPrintable(StoreCopy::restoreProblem(copy)));
        QVERIFY_THROWS_EXCEPTION(OrvError, StoreCopy::restore(f.db, copy));
        QCOMPARE(rows(f.db, u"SELECT count(*) FROM Posts"_s), QStringList{u"2000"_s});
        QVERIFY(!QFile::exists(f.db.path() + u".before-restore"_s));
    }

    void unreadableFileFailsWithEngineTextAndStays() {
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
        QCOMPARE(dir.read(u"database.mdb"_s), QByteArray(4096, 'x'));
        QVERIFY_THROWS_EXCEPTION(OrvError, db.execute(u"SELECT 1"_s));
    }

    void reconnectShowsWrittenRowsAndLogsFailures() {
        test::StoreFolder f;
        test::TestFolder& dir = f.dir;
        Database& db = f.db;
        StatusLog log(dir.file(u"log.txt"_s));
        db.execute(u"INSERT INTO Smiles (Smile) VALUES (':)')"_s);
        db.ReConnect(log);
        QCOMPARE(rows(db, u"SELECT Smile FROM Smiles"_s), QStringList{u":)"_s});
        Database other(dir.file(u"database.mdb"_s)); // a second connection sees it too
        other.open();
        QCOMPARE(rows(other, u"SELECT count(*) FROM Smiles"_s), QStringList{u"1"_s});
        QVERIFY(log.lines().isEmpty());

        // Closing lets go of the file, also after transactions: the last
        // connection out folds the -wal file back into the store.
        Database::Transaction transaction(db);
        db.execute(u"DELETE FROM Smiles"_s);
        transaction.commit();
        db.close();
        other.close();
        QVERIFY(!QFile::exists(db.path() + u"-wal"_s));
        QFile::remove(db.path() + u"-wal"_s);
        QFile::remove(db.path() + u"-shm"_s);
        dir.write(u"database.mdb"_s, QByteArray(4096, 'x'));
        db.ReConnect(log);
        QCOMPARE(log.lines().size(), 1);
        QVERIFY(log.currentText().contains(u"  Mod_DB.ReConnect: "_s));
        QVERIFY(!db.isOpen());
    }

    // By default what was stored before a failure stays; a transaction that
    // rolls back, a failed COMMIT or an inner one left open undo only their own.
    void transactionsKeepOrUndo() {
        test::StoreFolder f;
        Database& db = f.db;
        for (const auto onFailure : {Database::Transaction::OnFailure::KeepStored,
                                     Database::Transaction::OnFailure::RollBack}) {
            try {
                Database::Transaction t(db, onFailure);
                db.execute(u"INSERT INTO Smiles (Smile) VALUES ('a')"_s);
                db.execute(u"INSERT INTO NoSuchTable VALUES (1)"_s);
                t.commit();
            } catch (const OrvError&) {
            }
        }
        QCOMPARE(rows(db, u"SELECT count(*) FROM Smiles"_s), QStringList{u"1"_s});

        db.execute(u"PRAGMA foreign_keys = ON"_s);
        db.execute(u"CREATE TABLE parent (id INTEGER PRIMARY KEY)"_s);
        db.execute(u"CREATE TABLE child (parent INTEGER REFERENCES parent (id) "
                   u"DEFERRABLE INITIALLY DEFERRED)"_s);
        {
            Database::Transaction t(db, Database::Transaction::OnFailure::RollBack);
            db.execute(u"INSERT INTO child VALUES (7)"_s);
            QVERIFY_THROWS_EXCEPTION(OrvError, t.commit()); // the check fails at COMMIT
        }
        QCOMPARE(rows(db, u"SELECT count(*) FROM child"_s), QStringList{u"0"_s});

        Database::Transaction outer(db, Database::Transaction::OnFailure::RollBack);
        db.execute(u"INSERT INTO parent VALUES (1)"_s);
        {
            Database::Transaction inner(db, Database::Transaction::OnFailure::RollBack);
            db.execute(u"INSERT INTO parent VALUES (2)"_s);
        } // left without commit
        outer.commit();
        QCOMPARE(rows(db, u"SELECT id FROM parent"_s), QStringList{u"1"_s});

        // Two statements in one text are refused, not run by half.
        QVERIFY_THROWS_EXCEPTION(OrvError, db.execute(u"DELETE FROM parent; DELETE FROM child"_s));
        QCOMPARE(rows(db, u"SELECT id FROM parent"_s), QStringList{u"1"_s});
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
