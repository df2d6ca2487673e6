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
        QCOMPARE(OptionsStore(store).LoadOptions(), Options());
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
