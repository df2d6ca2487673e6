#include "TestFolder.h"
#include "store/OptionsStore.h"

#include <QSettings>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace orv;

class OptionsTest : public QObject {
    Q_OBJECT

private slots:
    void missingKeysGiveDefaults() {
        test::TestFolder dir(test::TestFolder::Icons::None);
        QSettings store(dir.file(u"user.ini"_s), QSettings::IniFormat);
        const Options o = OptionsStore(store).LoadOptions();
        QVERIFY(!o.check_update); // the automatic check starts off...
        QVERIFY(o.check_post);    // ...while the kinds it would fetch start on
        QVERIFY(o.check_comment);
        QVERIFY(o.check_privat);
        QVERIFY(o.check_friends);
        QCOMPARE(o.time_update, u"10"_s);
        QVERIFY(!o.StartMinimized); // the window shows unless asked otherwise
        QCOMPARE(o.comment_type, u"cit"_s);
        QVERIFY(!o.veiw_setcomm);
        QCOMPARE(o.text_music, u"В колонках:"_s);
        QCOMPARE(o.combo_music, u"Red"_s);
        QCOMPARE(o.text_nastroy, u"Настроение:"_s);
        QCOMPARE(o.combo_nastroy, u"Red"_s);
        QVERIFY(o.OptMusUp && !o.OptMusDown && o.OptNastUp && !o.OptNastDown);
    }

    void savedOptionsReadBackInTheirStoredForms() {
        test::TestFolder dir(test::TestFolder::Icons::None);
        QSettings store(dir.file(u"user.ini"_s), QSettings::IniFormat);
        Options o;
        o.check_update = true;
        o.check_friends = false;
        o.time_update = u"25"_s;
        o.StartMinimized = true;
        o.comment_type = u"name"_s;
        o.text_music = u"Слушаю:"_s;
        o.OptMusUp = false;
        o.OptMusDown = true;
        OptionsStore(store).save(o);
        QCOMPARE(OptionsStore(store).LoadOptions(), o);

        store.beginGroup(u"options"_s);
        QCOMPARE(store.value(u"check_update"_s).toString(), u"1"_s);
        QCOMPARE(store.value(u"check_friends"_s).toString(), u"0"_s);
        QCOMPARE(store.value(u"StartMinimized"_s).toString(), u"1"_s);
        QCOMPARE(store.value(u"OptMusDown"_s).toString(), u"True"_s);
        QCOMPARE(store.value(u"OptMusUp"_s).toString(), u"False"_s);
    }

    void numericOptionsReadTheLeadingNumber_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("ticked");
        QTest::newRow("one") << u"1"_s << true;
        QTest::newRow("zero") << u"0"_s << false;
        QTest::newRow("number then text") << u"1abc"_s << true;
        QTest::newRow("text") << u"abc"_s << false;
        QTest::newRow("rounds down") << u"0.4"_s << false;
        QTest::newRow("out of range keeps default") << u"99999"_s << true;
    }

    void numericOptionsReadTheLeadingNumber() {
        QFETCH(QString, stored);
        QFETCH(bool, ticked);
        test::TestFolder dir(test::TestFolder::Icons::None);
        QSettings store(dir.file(u"user.ini"_s), QSettings::IniFormat);
        store.setValue(u"options/check_post"_s, stored);
        QCOMPARE(OptionsStore(store).LoadOptions().check_post, ticked);
    }
};

QTEST_GUILESS_MAIN(OptionsTest)
#include "tst_options.moc"
