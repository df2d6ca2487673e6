#include "StoreCheck.h"
#include "TestData.h"
#include "TestFolder.h"
#include "app/StatusLog.h"
#include "app/UnixTime.h"
#include "store/Database.h"
#include "store/OptionsStore.h"
#include "store/SettingsStore.h"

#include <QSettings>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace orv;

namespace {

// A fresh database with its default rows, the store over it, and the
// per-user store of the options.
struct Fixture : test::StoreFolder {
    StatusLog log{dir.file(u"log.txt"_s)};
    SettingsStore store{db, log};
    QSettings user{dir.file(u"user.ini"_s), QSettings::IniFormat};

    void set(const QString& key, const QString& value) {
        exec(u"UPDATE iniSettings SET iniValue = ? WHERE iniVariable = ?"_s, {value, key});
    }
    QString stored(const QString& key) {
        return test::rows(db, u"SELECT coalesce(iniValue, 'NULL') FROM iniSettings WHERE "
                              u"iniVariable = '"_s +
                                  key + u'\'')
            .join(u',');
    }
};

} // namespace

class SettingsTest : public QObject {
    Q_OBJECT

private slots:
    void reading_data() {
        test::addRows(u"settings/reading.tsv"_s, {"key", "stored", "read", "error"});
    }

    void reading() {
        const auto [key, stored, read, error] = test::cells({"key", "stored", "read", "error"});
        Fixture f;
        f.set(key, stored);
        Settings s;
        s.ShowLastDays = 14;
        f.store.ReadINI(s);
        QCOMPARE(key == u"UseProxy"_s ? QString::number(int(s.UseProxy))
                                      : QString::number(s.ShowLastDays),
                 read);
        QCOMPARE(f.log.lines().size(), error.isEmpty() ? 0 : 1);
        QVERIFY2(f.log.currentText().endsWith(error.isEmpty() ? QString()
                                                              : u"  Mod_DB.ReadINI: "_s + error),
                 qPrintable(f.log.currentText()));
    }

    void badValueEndsReadingAtItsRow() {
        Fixture f;
        f.set(u"UserName"_s, u"first"_s);        // row 1: read
        f.set(u"AutoLoadComments"_s, QString()); // row 10: fails
        f.set(u"CheckTime_Posts"_s, u"later"_s); // row 15: never reached
        Settings s;
        s.CheckTime_Posts = u"previous"_s;
        f.store.ReadINI(s);
        QCOMPARE(s.UserName, u"first"_s);
        QCOMPARE(s.CheckTime_Posts, u"previous"_s);
    }

    void emptyOrBrokenTableIsReported() {
        Fixture f;
        f.db.execute(u"DELETE FROM iniSettings"_s);
        Settings s;
        f.store.ReadINI(s);
        QVERIFY(f.log.currentText().endsWith(u"Mod_DB.ReadINI: Текущая запись отсутствует."_s));
        f.db.execute(u"DROP TABLE iniSettings"_s);
        f.db.execute(u"CREATE TABLE iniSettings (iniVariable TEXT, SortID INTEGER)"_s);
        f.store.ReadINI(s);
        QVERIFY2(f.log.currentText().contains(u"Mod_DB.ReadINI: "_s) &&
                     f.log.currentText().contains(u"iniValue"_s),
                 qPrintable(f.log.currentText()));
    }

    // One setting goes back into its own row only, in its stored form.
    void writtenBackOneByOne() {
        Fixture f;
        f.db.execute(u"INSERT INTO iniSettings (iniVariable, iniValue, SortID) "
                     u"VALUES ('username', 'other', 99)"_s);
        f.set(u"CommentsInTree"_s, u"stored text"_s);
        Settings s; // UserName is a null string here
        s.ShowLastDays = -3;
        s.UseProxy = true;
        s.CommentsInTree = false;
        for (const QString& key : {u"UserName"_s, u"ShowLastDays"_s, u"UseProxy"_s,
                                   u"CommentsInTree"_s, u"NoSuchKey"_s}) {
            f.store.writeOne(s, key);
        }
        QCOMPARE(f.stored(u"UserName"_s), QString()); // an empty text, never NULL
        QCOMPARE(f.stored(u"username"_s), u"other"_s);
        QCOMPARE(f.stored(u"ShowLastDays"_s), u"-3"_s);
        QCOMPARE(f.stored(u"UseProxy"_s), u"1"_s);
        QCOMPARE(f.stored(u"CommentsInTree"_s), u"stored text"_s); // never written back
        QVERIFY(f.log.lines().isEmpty());

        f.db.execute(u"CREATE TRIGGER refuse BEFORE UPDATE ON iniSettings BEGIN "
                     u"SELECT RAISE(ABORT, 'занято'); END"_s);
        f.store.writeOne(s, u"MaxPost"_s);
        QVERIFY2(f.log.currentText().contains(u"Mod_DB.WriteINI: занято"_s),
                 qPrintable(f.log.currentText()));
    }

    void editorRowsInDisplayOrder() {
        Fixture f;
        f.db.execute(u"UPDATE iniSettings SET SortID = 0 WHERE iniVariable = 'PostsToShow'"_s);
        const auto rows = f.store.editorRows();
        QCOMPARE(rows.size(), size_t(24));
        QCOMPARE(rows[0].key, u"PostsToShow"_s);
        QCOMPARE(rows[1].key, u"UserName"_s);
        QStringList values;
        for (const auto& row : rows) {
            values.append(row.value);
        }
        values[1] = u"Вася"_s;
        f.store.saveEditorValues(values.mid(0, 2)); // rows past the list keep theirs
        QCOMPARE(f.stored(u"UserName"_s), u"Вася"_s);
        QCOMPARE(f.stored(rows[2].key), rows[2].value);

        f.db.execute(u"DELETE FROM iniSettings"_s);
        f.store.saveEditorValues({u"x"_s});
        QVERIFY(f.store.editorRows().empty());
    }

    void unixTime_data() { test::addRows(u"settings/unixtime.tsv"_s, {"unix", "date", "time"}); }

    void unixTime() {
        const auto [unix, date, time] = test::cells({"unix", "date", "time"});
        const auto parts = UnixTime::split(unix);
        QCOMPARE(bool(parts), !unix.isEmpty() && !date.isEmpty());
        if (parts) {
            QCOMPARE(parts->date + u' ' + parts->time, date + u' ' + time);
        }
        QCOMPARE(UnixTime::merge(date, time).value_or(QString()),
                 date.isEmpty() ? QString() : unix);
    }

    // The options: a missing key gives its default, a saved one reads back,
    // yes/no ones are numbers or words as each has always been stored.
    void optionsReadBackInTheirStoredForms() {
        Fixture f;
        QCOMPARE(OptionsStore(f.user).LoadOptions(), Options());
        Options o;
        o.check_update = true;
        o.check_friends = false;
        o.time_update = u"25"_s;
        o.comment_type = u"name"_s;
        o.text_music = u"Слушаю:"_s;
        o.OptMusUp = false;
        o.OptMusDown = true;
        OptionsStore(f.user).save(o);
        QCOMPARE(OptionsStore(f.user).LoadOptions(), o);
        f.user.beginGroup(u"options"_s);
        QCOMPARE(f.user.value(u"check_update"_s).toString(), u"1"_s);
        QCOMPARE(f.user.value(u"check_friends"_s).toString(), u"0"_s);
        QCOMPARE(f.user.value(u"OptMusDown"_s).toString(), u"True"_s);
        QCOMPARE(f.user.value(u"OptMusUp"_s).toString(), u"False"_s);
    }

    void numericOptionsReadTheLeadingNumber_data() {
        test::addRows(u"settings/numeric-options.tsv"_s, {"stored", "ticked"});
    }

    void numericOptionsReadTheLeadingNumber() {
        const auto [stored, ticked] = test::cells({"stored", "ticked"});
        Fixture f;
        f.user.setValue(u"options/check_post"_s, stored);
        QCOMPARE(OptionsStore(f.user).LoadOptions().check_post, ticked == u"1"_s);
    }
};

QTEST_GUILESS_MAIN(SettingsTest)
#include "tst_settings.moc"
