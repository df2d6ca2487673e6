#include "GuiFixture.h"
#include "SettingsForm.h"
#include "TreeModel.h"
#include "app/Constants.h"

#include <QApplication>
#include <QFocusEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace orv;

namespace {

// Replaces the box's text as a user would, one key at a time (Cyrillic included).
void type(QLineEdit* box, const QString& text) {
    box->setFocus();
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Backspace);
    for (const QChar ch : text) {
        QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    }
}

int rowOf(const SettingsForm& form, const QString& key) {
    const auto& rows = form.workingTable();
    for (size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].key == key) {
            return int(i);
        }
    }
    return -1;
}

QString stored(Database& db, const QString& key) {
    QSqlQuery q = db.prepare(u"SELECT iniValue FROM iniSettings WHERE iniVariable = ?"_s);
    q.addBindValue(key);
    Database::exec(q);
    return q.next() ? q.value(0).toString() : u"<none>"_s;
}

struct Fixture : test::GuiFixture {
    SettingsForm* form = nullptr;

    Fixture() {
        configure(u"me"_s);
        start();
        mainForm->mnu_Setting_Click();
        form = mainForm->settingsForm();
    }

    void select(const QString& key) { form->ListVars->setCurrentRow(rowOf(*form, key)); }
};

} // namespace

class SettingsFormTest : public QObject {
    Q_OBJECT

private slots:
    void loadListsDescriptionsInDisplayOrder() {
        Fixture f;
        QVERIFY(f.form && f.form->isVisible());
        QCOMPARE(f.form->windowTitle(), VersionTag + u" :: настройки программы"_s);
        QCOMPARE(f.form->ListVars->count(), 22);
        QCOMPARE(f.form->ListVars->item(0)->text(), u"Имя пользователя (логин) на Корденете"_s);
        QCOMPARE(f.form->ListVars->currentRow(), 0);
        QCOMPARE(f.form->TxtValue->text(), u"me"_s);
        QVERIFY(!f.form->TxtDate->isEnabled());

        f.select(u"Password"_s);
        QCOMPARE(f.form->TxtValue->echoMode(), QLineEdit::Password);
        f.select(u"MaxPost"_s);
        QCOMPARE(f.form->TxtValue->echoMode(), QLineEdit::Normal);
        QCOMPARE(f.form->TxtValue->text(), u"500"_s);
    }

    void unixTimeValuesSplitAndMerge() {
        Fixture f;
        f.select(u"CheckTime_Smiles"_s);
        type(f.form->TxtValue, u"1136073600"_s);
        QVERIFY(f.form->ButUp->isEnabled() && f.form->ButDown->isEnabled());
        QCOMPARE(f.form->TxtDate->text(), u"01.01.2006"_s);
        QCOMPARE(f.form->TxtTime->text(), u"00:00:00"_s);

        type(f.form->TxtDate, u"02.01.2006"_s);
        f.form->ButUp->click();
        QCOMPARE(f.form->TxtValue->text(), u"1136160000"_s);
        QCOMPARE(f.form->workingTable()[size_t(f.form->currentRow())].value, u"1136160000"_s);

        type(f.form->TxtTime, u"25:99:00"_s);
        f.form->ButUp->click();
        QCOMPARE(f.form->TxtValue->text(), u"1136160000"_s); // left alone
        QCOMPARE(f.prompts.messages.size(), 1);
        QCOMPARE(f.prompts.messages[0].icon, UserPrompts::Icon::Warning);

        for (const QString& notATime : {u"113607360"_s, u"11360736000"_s, u"113607360x"_s}) {
            type(f.form->TxtValue, notATime);
            QVERIFY(!f.form->ButUp->isEnabled() && !f.form->ButDown->isEnabled());
            QVERIFY(!f.form->TxtDate->isEnabled() && !f.form->TxtTime->isEnabled());
            QVERIFY(f.form->TxtDate->text().isEmpty() && f.form->TxtTime->text().isEmpty());
        }
    }

    void saveWritesEveryRowAndRereadsTheSettings() {
        Fixture f;
        type(f.form->TxtValue, u"Петя"_s);
        f.select(u"ShowLastDays"_s);
        type(f.form->TxtValue, u"3"_s);
        f.form->ButSave->click();

        QCOMPARE(stored(f.ctx->db, u"UserName"_s), u"Петя"_s);
        QCOMPARE(stored(f.ctx->db, u"ShowLastDays"_s), u"3"_s);
        QCOMPARE(f.ctx->settings.UserName, u"Петя"_s);
        QCOMPARE(f.ctx->settings.ShowLastDays, qint16(3));
        QCOMPARE(f.mainForm->windowTitle(), u"Петя - ORV v.0.7.31c (главная форма)"_s);
        QVERIFY(f.form->isVisible()); // the window stays open

        QPointer<SettingsForm> form = f.form;
        f.form->ButExit->click();
        QTRY_VERIFY(!form);
        QVERIFY(f.waitForTree());
        QCOMPARE(f.mainForm->treeModel()->snapshot().key(1), u"key-Петя"_s);
    }

    void exitDropsUnsavedEdits() {
        Fixture f;
        type(f.form->TxtValue, u"другой"_s);
        f.select(u"MaxPost"_s);
        QCOMPARE(f.form->workingTable()[0].value, u"другой"_s);
        QPointer<SettingsForm> form = f.form;
        f.form->ButExit->click();
        QTRY_VERIFY(!form);
        QCOMPARE(stored(f.ctx->db, u"UserName"_s), u"me"_s);
        QCOMPARE(f.ctx->settings.UserName, u"me"_s);
    }

    void failedSaveKeepsTheSettingsInMemory() {
        Fixture f;
        f.ctx->db.execute(u"CREATE TRIGGER refuse BEFORE UPDATE ON iniSettings "
                          u"WHEN NEW.iniVariable = 'MaxPost' BEGIN SELECT RAISE(ABORT, 'занято'); "
                          u"END"_s);
        type(f.form->TxtValue, u"новый"_s);
        f.form->ButSave->click();
        QVERIFY2(f.ctx->log.currentText().contains(u"  SettingsForm.ButSave_Click: "_s),
                 qPrintable(f.ctx->log.currentText()));
        QCOMPARE(stored(f.ctx->db, u"UserName"_s), u"новый"_s); // stored before the failure
        QCOMPARE(f.ctx->settings.UserName, u"me"_s);            // not read again
    }

    void theValueBoxTakesTheSpareWidth() {
        Fixture f;
        // An address of a good length fits the box as the window opens.
        f.select(u"ServiceURL"_s);
        type(f.form->TxtValue, u"https://offline-mirror.kordenet.example.org"_s);
        QVERIFY(QTest::qWaitForWindowExposed(f.form));
        const auto fits = [&] {
            return f.form->TxtValue->fontMetrics().horizontalAdvance(f.form->TxtValue->text()) <
                   f.form->TxtValue->contentsRect().width() - 8;
        };
        QVERIFY2(fits(), qPrintable(QString::number(f.form->TxtValue->width())));

        // A wider window widens the value, not the list.
        const int list = f.form->ListVars->width();
        const int value = f.form->TxtValue->width();
        f.form->resize(f.form->width() + 600, f.form->height());
        QTRY_COMPARE(f.form->TxtValue->width(), value + 600);
        QCOMPARE(f.form->ListVars->width(), list);
    }

    void startingToEditReplacesTheOldValue() {
        Fixture f;
        f.form->activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), static_cast<QWidget*>(f.form));
        QCOMPARE(f.form->TxtValue->selectedText(), u"me"_s); // the first row, as it opens
        f.select(u"MaxPost"_s);
        QCOMPARE(f.form->TxtValue->selectedText(), u"500"_s);
        QTest::keyClick(f.form->TxtValue, Qt::Key_7);
        QCOMPARE(f.form->TxtValue->text(), u"7"_s);
        QCOMPARE(f.form->workingTable()[size_t(rowOf(*f.form, u"MaxPost"_s))].value, u"7"_s);

        // Back into the box by a click or from the program: the text is selected again.
        f.form->ListVars->setFocus();
        f.form->TxtValue->deselect();
        QTest::mouseClick(f.form->TxtValue, Qt::LeftButton, {}, QPoint(4, 4));
        QTRY_COMPARE(f.form->TxtValue->selectedText(), u"7"_s);
        f.form->ListVars->setFocus();
        f.form->TxtValue->deselect();
        f.form->TxtValue->setFocus();
        QTRY_COMPARE(f.form->TxtValue->selectedText(), u"7"_s);

        // Coming back to the window leaves the cursor where the user put it.
        QTest::qWait(0);
        f.form->TxtValue->deselect();
        QFocusEvent back(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
        QApplication::sendEvent(f.form->TxtValue, &back);
        QTest::qWait(0);
        QVERIFY(!f.form->TxtValue->hasSelectedText());
    }

    void emptyTableShowsAnEmptyList() {
        Fixture f;
        f.form->close();
        f.ctx->db.execute(u"DELETE FROM iniSettings"_s);
        f.mainForm->mnu_Setting_Click();
        SettingsForm* form = f.mainForm->settingsForm();
        QVERIFY(form);
        QCOMPARE(form->ListVars->count(), 0);
        form->ButSave->click();
        QSqlQuery q = f.ctx->db.prepare(u"SELECT count(*) FROM iniSettings"_s);
        Database::exec(q);
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), 0);
    }
};

QTEST_MAIN(SettingsFormTest)
#include "tst_settingsform.moc"
