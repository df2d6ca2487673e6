#include "TestFolder.h"
#include "app/StatusLog.h"
#include "app/UnixTime.h"
#include "store/Database.h"
#include "store/SettingsStore.h"

#include <QtTest>

using namespace Qt::StringLiterals;
using namespace orv;

namespace {

// A fresh database with its default rows, and the store over it.
struct Fixture {
    test::TestFolder dir;
    StatusLog log{dir.file(u"log.txt"_s)};
    Database db{dir.file(u"database.mdb"_s)};
    SettingsStore store{db, log};

    Fixture() { db.open(); }

    void set(const QString& key, const QString& value) {
        QSqlQuery q = db.prepare(u"UPDATE iniSettings SET iniValue = ? WHERE iniVariable = ?"_s);
        q.addBindValue(value);
        q.addBindValue(key);
        Database::exec(q);
    }
    QVariant stored(const QString& key) {
        QSqlQuery q = db.prepare(u"SELECT iniValue FROM iniSettings WHERE iniVariable = ?"_s);
        q.addBindValue(key);
        Database::exec(q);
        return q.next() ? q.value(0) : QVariant();
    }
};

} // namespace

class SettingsTest : public QObject {
    Q_OBJECT

private slots:
    void defaultRowsReadWithoutComplaint() {
        Fixture f;
        Settings s;
        f.store.ReadINI(s);
        QVERIFY(f.log.lines().isEmpty());
        QCOMPARE(s.UserName, QString());
        QCOMPARE(s.ShowLastDays, qint16(14));
        QVERIFY(!s.AutoLoadComments);
        QVERIFY(!s.UseProxy);
        QVERIFY(s.CommentsInTree);
        QCOMPARE(s.MaxPost, u"500"_s);
        QCOMPARE(s.serviceAddress(), u"https://kordenet.ru"_s);
    }

    void keysMatchExactlyInBothDirections() {
        Fixture f;
        f.db.execute(u"INSERT INTO iniSettings (iniVariable, iniValue, SortID) "
                     u"VALUES ('username', 'wrong', 99)"_s);
        f.set(u"UserName"_s, u"Маша"_s);
        Settings s;
        f.store.ReadINI(s);
        QCOMPARE(s.UserName, u"Маша"_s);
        s.UserName = u"Петя"_s;
        f.store.WriteINI(s);
        QCOMPARE(f.stored(u"UserName"_s).toString(), u"Петя"_s);
        QCOMPARE(f.stored(u"username"_s).toString(), u"wrong"_s);
    }

    void yesNoValues_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("value");
        QTest::newRow("1") << u"1"_s << true;
        QTest::newRow("-1") << u"-1"_s << true;
        QTest::newRow("5") << u"5"_s << true;
        QTest::newRow("True") << u"True"_s << true;
        QTest::newRow("true") << u"true"_s << true;
        QTest::newRow("0") << u"0"_s << false;
        QTest::newRow("False") << u"False"_s << false;
    }

    void yesNoValues() {
        QFETCH(QString, stored);
        QFETCH(bool, value);
        Fixture f;
        f.set(u"AutoLoadComments"_s, stored);
        f.set(u"UseProxy"_s, stored);
        Settings s;
        s.AutoLoadComments = !value;
        f.store.ReadINI(s);
        QVERIFY(f.log.lines().isEmpty());
        QCOMPARE(s.AutoLoadComments, value);
        QCOMPARE(s.UseProxy, value);
        f.store.WriteINI(s);
        QCOMPARE(f.stored(u"AutoLoadComments"_s).toString(), value ? u"1"_s : u"0"_s);
        QCOMPARE(f.stored(u"UseProxy"_s).toString(), value ? u"1"_s : u"0"_s);
    }

    void showLastDaysIsASmallInteger_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("error");
        QTest::newRow("plain") << u"30"_s << 30 << QString();
        QTest::newRow("blanks") << u" 3 "_s << 3 << QString();
        QTest::newRow("half to even") << u"6.5"_s << 6 << QString();
        QTest::newRow("half up to even") << u"7.5"_s << 8 << QString();
        QTest::newRow("negative") << u"-2"_s << -2 << QString();
        QTest::newRow("largest") << u"32767"_s << 32767 << QString();
        QTest::newRow("overflow") << u"40000"_s << 14 << u"Переполнение"_s;
        QTest::newRow("empty") << QString() << 14 << u"Несоответствие типа"_s;
        QTest::newRow("letters") << u"abc"_s << 14 << u"Несоответствие типа"_s;
    }

    void showLastDaysIsASmallInteger() {
        QFETCH(QString, stored);
        QFETCH(int, value);
        QFETCH(QString, error);
        Fixture f;
        f.set(u"ShowLastDays"_s, stored);
        Settings s;
        s.ShowLastDays = 14;
        f.store.ReadINI(s);
        QCOMPARE(int(s.ShowLastDays), value);
        if (error.isEmpty()) {
            QVERIFY(f.log.lines().isEmpty());
        } else {
            QCOMPARE(f.log.lines().size(), 1);
            QVERIFY2(f.log.currentText().endsWith(u"  Mod_DB.ReadINI: "_s + error),
                     qPrintable(f.log.currentText()));
        }
    }

    void badValueEndsReadingAtItsRow() {
        Fixture f;
        f.set(u"UserName"_s, u"first"_s);        // row 1: read
        f.set(u"AutoLoadComments"_s, QString()); // row 10: fails
        f.set(u"CheckTime_Posts"_s, u"later"_s); // row 15: never reached
        Settings s;
        s.UserName = u"old"_s;
        s.CheckTime_Posts = u"previous"_s;
        f.store.ReadINI(s);
        QCOMPARE(s.UserName, u"first"_s);
        QCOMPARE(s.CheckTime_Posts, u"previous"_s);
        QVERIFY(f.log.currentText().endsWith(u"Mod_DB.ReadINI: Несоответствие типа"_s));
    }

    void emptyOrBrokenTableIsReported() {
        Fixture f;
        f.db.execute(u"DELETE FROM iniSettings"_s);
        Settings s;
        f.store.ReadINI(s);
        QVERIFY(f.log.currentText().endsWith(u"Mod_DB.ReadINI: Текущая запись отсутствует."_s));
        f.store.WriteINI(s);
        QVERIFY(f.log.currentText().endsWith(u"Mod_DB.WriteINI: Текущая запись отсутствует."_s));

        f.db.execute(u"DROP TABLE iniSettings"_s);
        f.db.execute(u"CREATE TABLE iniSettings (iniVariable TEXT, SortID INTEGER)"_s);
        f.store.ReadINI(s);
        QVERIFY2(f.log.currentText().contains(u"Mod_DB.ReadINI: "_s) &&
                     f.log.currentText().contains(u"iniValue"_s),
                 qPrintable(f.log.currentText()));
    }

    void writeBackForms() {
        Fixture f;
        f.set(u"CommentsInTree"_s, u"stored text"_s);
        Settings s; // UserName is a null string here
        s.ShowLastDays = -3;
        s.CommentsInTree = false;
        s.MaxPost = u"20"_s;
        f.store.WriteINI(s);
        QCOMPARE(f.stored(u"ShowLastDays"_s).toString(), u"-3"_s);
        QCOMPARE(f.stored(u"MaxPost"_s).toString(), u"20"_s);
        QCOMPARE(f.stored(u"CommentsInTree"_s).toString(), u"stored text"_s);
        QVERIFY(!f.stored(u"UserName"_s).isNull()); // an empty text, never NULL
        QCOMPARE(f.stored(u"UserName"_s).toString(), QString());
        QCOMPARE(f.stored(u"ServiceURL"_s).toString(), QString());
    }

    void writeFailureKeepsRowsStoredBefore() {
        Fixture f;
        f.db.execute(u"CREATE TRIGGER refuse BEFORE UPDATE ON iniSettings "
                     u"WHEN NEW.iniVariable = 'ShowLastDays' BEGIN SELECT RAISE(ABORT, 'занято'); "
                     u"END"_s);
        Settings s;
        s.UserName = u"before"_s;  // row 1
        s.ProxyUname = u"after"_s; // row 13
        f.store.WriteINI(s);
        QVERIFY2(f.log.currentText().contains(u"Mod_DB.WriteINI: занято"_s),
                 qPrintable(f.log.currentText()));
        QCOMPARE(f.stored(u"UserName"_s).toString(), u"before"_s);
        QCOMPARE(f.stored(u"ProxyUname"_s).toString(), QString());
    }

    void editorRowsInDisplayOrder() {
        Fixture f;
        f.db.execute(u"UPDATE iniSettings SET SortID = 0 WHERE iniVariable = 'PostsToShow'"_s);
        auto rows = f.store.editorRows();
        QCOMPARE(rows.size(), size_t(22));
        QCOMPARE(rows[0].key, u"PostsToShow"_s);
        QCOMPARE(rows[1].key, u"UserName"_s);
        QCOMPARE(rows[1].comment, u"Имя пользователя (логин) на Корденете"_s);

        QStringList values;
        for (const auto& row : rows) {
            values.append(row.value);
        }
        values[1] = u"Вася"_s;
        f.store.saveEditorValues(values);
        QCOMPARE(f.stored(u"UserName"_s).toString(), u"Вася"_s);
        QCOMPARE(f.stored(u"PostsToShow"_s).toString(), u"50"_s);

        f.db.execute(u"DELETE FROM iniSettings"_s);
        QVERIFY(f.store.editorRows().empty());
        f.store.saveEditorValues({u"x"_s});
        QCOMPARE(f.store.editorRows().size(), size_t(0));
    }

    void unixTimeSplitsAndMerges() {
        const auto parts = UnixTime::split(u"1136073600"_s);
        QVERIFY(parts);
        QCOMPARE(parts->date, u"01.01.2006"_s);
        QCOMPARE(parts->time, u"00:00:00"_s);
        QCOMPARE(UnixTime::merge(u"01.01.2006"_s, u"00:00:00"_s), u"1136073600"_s);
        QCOMPARE(UnixTime::merge(u"19.01.2038"_s, u"03:14:08"_s), u"2147483648"_s);
        QCOMPARE(UnixTime::split(u"2147483648"_s)->date, u"19.01.2038"_s);
    }

    void unixTimeRefusesWhatIsNotOne() {
        QVERIFY(!UnixTime::looksLikeUnixTime(u"113607360"_s));
        QVERIFY(!UnixTime::looksLikeUnixTime(u"11360736000"_s));
        QVERIFY(!UnixTime::looksLikeUnixTime(u"113607360a"_s));
        QVERIFY(!UnixTime::split(u""_s));
        QVERIFY(!UnixTime::merge(u"32.01.2006"_s, u"00:00:00"_s));
        QVERIFY(!UnixTime::merge(u"01.01.2006"_s, u"25:00:00"_s));
        QVERIFY(!UnixTime::merge(QString(), QString()));
    }
};

QTEST_GUILESS_MAIN(SettingsTest)
#include "tst_settings.moc"
