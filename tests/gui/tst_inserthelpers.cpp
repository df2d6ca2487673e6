#include "AddUserForm.h"
#include "AppContext.h"
#include "ScriptedPrompts.h"
#include "SetMesForm.h"
#include "SmileForm.h"
#include "TestFolder.h"
#include "composer/SmileyPage.h"
#include "store/OptionsStore.h"

#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTextBlock>
#include <QTextBrowser>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace orv;

namespace {

// A working folder with tmp/, an open database and a per-user store of its own.
struct Fixture {
    test::TestFolder dir;
    test::ScriptedPrompts prompts;
    QSettings userStore{dir.file(u"user.ini"_s), QSettings::IniFormat};
    AppContext ctx{dir.folder(), prompts, userStore};

    Fixture() {
        ctx.folder.ensureTmpFolder();
        ctx.db.open();
    }

    void addSmiley(const QString& code, const QString& url) {
        QSqlQuery q = ctx.db.prepare(u"INSERT INTO Smiles (Smile, SmileURL) VALUES (?, ?)"_s);
        q.addBindValue(code);
        q.addBindValue(url);
        Database::exec(q);
    }

    void addRelation(const QVariant& nick, const QString& status) {
        QSqlQuery q = ctx.db.prepare(u"INSERT INTO AddressBook (Nick, Status) VALUES (?, ?)"_s);
        q.addBindValue(nick);
        q.addBindValue(status);
        Database::exec(q);
    }

    QByteArray page() const { return dir.read(u"tmp/smile.htm"_s); }

    // The picker as the editor opens it: a window that deletes itself on closing.
    QPointer<SmileForm> openPicker() {
        auto* form = new SmileForm(ctx, nullptr);
        form->showCatalogue();
        return form;
    }
};

// The page's lines as the picker's page must hold them, byte for byte.
QByteArray expectedPage(const QList<QByteArray>& rows) {
    QByteArray page = "<html><head><meta http-equiv='Content-Type' content='text/html; "
                      "charset=windows-1251'><style>.j_s {font-family: verdana; font-size: 8px; "
                      "decoration: none} </style></head><body bgcolor=#d4d0c8><table border='1' "
                      "cellpadding='2' bordercolor='#000080' ellspacing='2'>\r\n";
    for (const QByteArray& row : rows) {
        page += row + "\r\n\r\n";
    }
    return page + "</table></body></html>\r\n";
}

QByteArray expectedRow(const QByteArray& code, const QByteArray& url) {
    return "<tr><td align='center'><a href='http://" + code + "'><img src='" + url +
           "' alt='' border=0'></a><br></td></tr>";
}

// The middle of the link's first fragment, in viewport coordinates.
QPoint linkPoint(QTextBrowser* view, const QString& href) {
    QTextDocument* doc = view->document();
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.charFormat().anchorHref() != href) {
                continue;
            }
            QTextCursor cursor(doc);
            cursor.setPosition(fragment.position());
            const QRect start = view->cursorRect(cursor);
            cursor.setPosition(fragment.position() + fragment.length());
            const QRect end = view->cursorRect(cursor);
            return {(start.left() + end.left()) / 2, start.center().y()};
        }
    }
    return {-1, -1};
}

QStringList linksOf(QTextBrowser* view) {
    QStringList links;
    QTextDocument* doc = view->document();
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QString href = it.fragment().charFormat().anchorHref();
            if (!href.isEmpty() && (links.isEmpty() || links.constLast() != href)) {
                links.append(href);
            }
        }
    }
    return links;
}

QStringList imagesOf(QTextBrowser* view) {
    QStringList names;
    QTextDocument* doc = view->document();
    for (QTextBlock block = doc->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (format.isImageFormat()) {
                names.append(format.toImageFormat().name());
            }
        }
    }
    return names;
}

// Clicks the link as a user would and returns the codes the picker handed on.
QStringList clickLink(SmileForm* form, const QString& href) {
    QSignalSpy chosen(form, &SmileForm::smileyChosen);
    QTextBrowser* view = form->SmileBrowser;
    const QPoint point = linkPoint(view, href);
    if (view->anchorAt(point) != href) {
        return {u"<no link at the point for "_s + href + u'>'};
    }
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, point);
    QStringList codes;
    for (const QList<QVariant>& signal : chosen) {
        codes.append(signal.at(0).toString());
    }
    return codes;
}

// Replaces the box's text as a user would, one key at a time (Cyrillic included).
void type(QLineEdit* box, const QString& text) {
    box->setFocus();
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Backspace);
    for (const QChar ch : text) {
        QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    }
}

QString storedOption(const QString& path, const QString& key) {
    QSettings store(path, QSettings::IniFormat);
    return store.value(u"options/"_s + key, u"<none>"_s).toString();
}

} // namespace

class InsertHelpersTest : public QObject {
    Q_OBJECT

private slots:
    // ---- the smiley page ----

    void pageLinesAreByteExact() {
        Fixture f;
        f.addSmiley(u":)"_s, u"http://kordenet.ru/smiles/1.gif"_s);
        f.addSmiley(u"Ёж"_s, u"http://kordenet.ru/smiles/ёж.gif"_s);
        QVERIFY(SmileyPage::write(f.ctx.folder, f.ctx.db));
        const QByteArray yo = "\xa8\xe6"; // "Ёж" in Windows-1251
        QCOMPARE(f.page(), expectedPage({expectedRow(":)", "http://kordenet.ru/smiles/1.gif"),
                                         expectedRow(yo, "http://kordenet.ru/smiles/" +
                                                             QByteArray("\xb8\xe6") + ".gif")}));
        QCOMPARE(SmileyPage::path(f.ctx.folder), f.dir.file(u"tmp/smile.htm"_s));
    }

    void pageRowsFollowTheCatalogueOrder() {
        Fixture f;
        f.addSmiley(u":b:"_s, u"b.gif"_s);
        f.addSmiley(u":a:"_s, u"a.gif"_s);
        f.ctx.db.execute(u"UPDATE Smiles SET ID = ID + 10 WHERE Smile = ':b:'"_s);
        QVERIFY(SmileyPage::write(f.ctx.folder, f.ctx.db));
        QCOMPARE(f.page(),
                 expectedPage({expectedRow(":a:", "a.gif"), expectedRow(":b:", "b.gif")}));
    }

    // A code the attribute could not hold as it stands is written as
    // references; the page still reads back the same code.
    void awkwardCodesAreReferences() {
        Fixture f;
        f.addSmiley(u":'("_s, u"http://x/cry.gif?a=1&b=2"_s);
        f.addSmiley(u"<3"_s, u"heart.gif"_s);
        f.addSmiley(u"\U0001F642"_s, u"smile.gif"_s);
        QVERIFY(SmileyPage::write(f.ctx.folder, f.ctx.db));
        QCOMPARE(f.page(), expectedPage({expectedRow(":&#39;(", "http://x/cry.gif?a=1&amp;b=2"),
                                         expectedRow("&lt;3", "heart.gif"),
                                         expectedRow("&#128578;", "smile.gif")}));
    }

    void attributeText_data() {
        QTest::addColumn<QString>("written");
        QTest::addColumn<QString>("read");
        QTest::newRow("plain") << u":-)"_s << u":-)"_s;
        QTest::newRow("apostrophe") << u":&#39;("_s << u":'("_s;
        QTest::newRow("hexadecimal") << u"&#x41;&#X42;"_s << u"AB"_s;
        QTest::newRow("named") << u"&lt;&gt;&amp;&quot;&apos;"_s << u"<>&\"'"_s;
        QTest::newRow("outside the BMP") << u"&#128578;"_s << u"\U0001F642"_s;
        QTest::newRow("read once") << u"&amp;amp;"_s << u"&amp;"_s;
        QTest::newRow("lone ampersand") << u"a&b"_s << u"a&b"_s;
        QTest::newRow("unknown name") << u"&nbsp;x&foo;"_s << u"&nbsp;x&foo;"_s;
        QTest::newRow("no semicolon") << u"&#39"_s << u"&#39"_s;
        QTest::newRow("not a character")
            << u"&#0;&#xD800;&#1114112;&#;"_s << u"&#0;&#xD800;&#1114112;&#;"_s;
        QTest::newRow("ampersand before a reference") << u"&&#39;"_s << u"&'"_s;
    }

    void attributeText() {
        QFETCH(QString, written);
        QFETCH(QString, read);
        QCOMPARE(SmileyPage::attributeText(written), read);
    }

    void emptyCatalogueKeepsTheLastPage() {
        Fixture f;
        f.addSmiley(u":)"_s, u"http://kordenet.ru/smiles/1.gif"_s);
        QPointer<SmileForm> first = f.openPicker();
        QVERIFY(first && first->isVisible());
        first->close();
        const QByteArray written = f.page();
        QVERIFY(!written.isEmpty());

        f.ctx.db.execute(u"DELETE FROM Smiles"_s);
        QVERIFY(!SmileyPage::write(f.ctx.folder, f.ctx.db));
        QPointer<SmileForm> form = f.openPicker();
        QVERIFY(form && form->isVisible());
        QCOMPARE(f.page(), written);
        QCOMPARE(linksOf(form->SmileBrowser), QStringList{u"http://:)"_s});
        QCOMPARE(f.ctx.log.lines(), QStringList());
        delete form;
    }

    void emptyCatalogueWithoutPageShowsAnEmptyPicker() {
        Fixture f;
        QPointer<SmileForm> form = f.openPicker();
        QVERIFY(form && form->isVisible());
        QVERIFY(!QFile::exists(f.dir.file(u"tmp/smile.htm"_s)));
        QCOMPARE(form->SmileBrowser->toPlainText(), QString());
        QCOMPARE(f.ctx.log.lines(), QStringList());
        delete form;
    }

    void pageThatCannotBeWrittenIsLogged() {
        Fixture f;
        f.addSmiley(u":)"_s, u"a.gif"_s);
        QVERIFY(QDir().mkpath(f.dir.file(u"tmp/smile.htm"_s))); // a folder in the file's place
        QPointer<SmileForm> form = f.openPicker();
        QTRY_VERIFY(form.isNull()); // not shown, and gone
        QCOMPARE(f.ctx.log.lines().size(), 1);
        QVERIFY2(f.ctx.log.lines()[0].contains(u"  Command1_Click: Не могу записать файл "_s),
                 qPrintable(f.ctx.log.lines()[0]));
    }

    void catalogueThatCannotBeReadIsLoggedAndThePageKept() {
        Fixture f;
        f.addSmiley(u":)"_s, u"a.gif"_s);
        QVERIFY(SmileyPage::write(f.ctx.folder, f.ctx.db));
        const QByteArray written = f.page();
        f.ctx.db.execute(u"DROP TABLE Smiles"_s);
        QPointer<SmileForm> form = f.openPicker();
        QTRY_VERIFY(form.isNull());
        QCOMPARE(f.page(), written);
        QCOMPARE(f.ctx.log.lines().size(), 1);
        QVERIFY2(f.ctx.log.lines()[0].contains(u"  Command1_Click: "_s) &&
                     f.ctx.log.lines()[0].contains(u"Smiles"_s),
                 qPrintable(f.ctx.log.lines()[0]));
    }

    // ---- the picker ----

    void pickerWindow() {
        Fixture f;
        f.addSmiley(u":)"_s, u"http://kordenet.ru/smiles/1.gif"_s);
        QPointer<SmileForm> form = f.openPicker();
        QVERIFY(form && form->isVisible());
        QCOMPARE(form->windowTitle(), u"Смайлики"_s);
        QVERIFY(!form->isModal());
        QCOMPARE(form->SmileBrowser->objectName(), u"SmileBrowser"_s);
        QVERIFY(!form->SmileBrowser->openLinks());
        delete form;
    }

    void clickingASmileyHandsOnItsCodeIntact() {
        Fixture f;
        // Each code with its link as the page has it.
        const QList<QPair<QString, QString>> smileys{
            {u":)"_s, u"http://:)"_s},
            {u":-/"_s, u"http://:-/"_s},
            {u":'("_s, u"http://:&#39;("_s},
            {u"Ёжик"_s, u"http://Ёжик"_s},
            {u"\U0001F642"_s, u"http://&#128578;"_s},
            {u"&amp;<3>"_s, u"http://&amp;amp;&lt;3&gt;"_s},
        };
        for (const auto& [code, link] : smileys) {
            f.addSmiley(code, u"http://kordenet.ru/smiles/"_s + link.mid(7) + u".gif"_s);
        }
        for (const auto& [code, link] : smileys) {
            QPointer<SmileForm> form = f.openPicker();
            QVERIFY(form);
            QCOMPARE(linksOf(form->SmileBrowser).size(), smileys.size());
            QCOMPARE(clickLink(form, link), QStringList{code});
            QTRY_VERIFY(form.isNull()); // closed, and so deleted
        }
        QCOMPARE(f.ctx.log.lines(), QStringList());
    }

    // The pictures on the service are not fetched: the shown copy has the code
    // in their place, as for a missing file. A picture in a local file is
    // shown and clickable.
    void remotePicturesShowTheirCodeLocalOnesThePicture() {
        Fixture f;
        const QString local = f.dir.file(u"img/new_new.bmp"_s);
        QVERIFY(QFile::exists(local));
        f.addSmiley(u":)"_s, u"http://kordenet.ru/smiles/1.gif"_s);
        f.addSmiley(u":new:"_s, local);
        f.addSmiley(u":gone:"_s, f.dir.file(u"img/gone.gif"_s));
        f.addSmiley(u":beside:"_s, u"../img/new_read.bmp"_s);
        QPointer<SmileForm> form = f.openPicker();
        QVERIFY(form);
        QCOMPARE(imagesOf(form->SmileBrowser), (QStringList{local, u"../img/new_read.bmp"_s}));
        QCOMPARE(form->SmileBrowser->toPlainText().split(u'\n', Qt::SkipEmptyParts),
                 (QStringList{u":)"_s, u"\uFFFC"_s, u":gone:"_s, u"\uFFFC"_s}));
        QVERIFY(!form->SmileBrowser->document()
                     ->resource(QTextDocument::ImageResource, QUrl::fromLocalFile(local))
                     .isNull());
        QCOMPARE(clickLink(form, u"http://:new:"_s), QStringList{u":new:"_s});
        QTRY_VERIFY(form.isNull());
    }

    void keyboardChoosesASmileyToo() {
        Fixture f;
        f.addSmiley(u":)"_s, u"http://kordenet.ru/smiles/1.gif"_s);
        f.addSmiley(u";)"_s, u"http://kordenet.ru/smiles/2.gif"_s);
        QPointer<SmileForm> form = f.openPicker();
        QVERIFY(form);
        QSignalSpy chosen(form.data(), &SmileForm::smileyChosen);
        QTextBrowser* view = form->SmileBrowser;
        QVERIFY(QTest::qWaitForWindowActive(form));
        QCOMPARE(QApplication::focusWidget(), view);
        QTest::keyClick(view, Qt::Key_Tab);
        QTest::keyClick(view, Qt::Key_Tab);
        QTest::keyClick(view, Qt::Key_Return);
        QCOMPARE(chosen.size(), 1);
        QCOMPARE(chosen.at(0).at(0).toString(), u";)"_s);
        QTRY_VERIFY(form.isNull());
    }

    void navigationRule_data() {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QStringList>("codes");
        QTest::newRow("slash appended") << u"http://:)/"_s << QStringList{u":)"_s};
        QTest::newRow("last character dropped") << u"http://abc"_s << QStringList{u"ab"_s};
        QTest::newRow("capital scheme") << u"HTTP://:)/"_s << QStringList{};
        QTest::newRow("https") << u"https://:)/"_s << QStringList{};
        QTest::newRow("local page") << u"file:///tmp/smile.htm"_s << QStringList{};
        QTest::newRow("blank") << u"about:blank"_s << QStringList{};
    }

    void navigationRule() {
        QFETCH(QString, target);
        QFETCH(QStringList, codes);
        Fixture f;
        QPointer<SmileForm> form = new SmileForm(f.ctx, nullptr);
        form->show();
        QSignalSpy chosen(form.data(), &SmileForm::smileyChosen);
        form->SmileBrowser_BeforeNavigate2(target);
        QStringList got;
        for (const QList<QVariant>& signal : chosen) {
            got.append(signal.at(0).toString());
        }
        QCOMPARE(got, codes);
        if (codes.isEmpty()) {
            QVERIFY(form && form->isVisible());
            delete form;
        } else {
            QTRY_VERIFY(form.isNull());
        }
    }

    void escapeClosesThePicker() {
        Fixture f;
        f.addSmiley(u":)"_s, u"a.gif"_s);
        QPointer<SmileForm> form = f.openPicker();
        QVERIFY(QTest::qWaitForWindowExposed(form));
        form->activateWindow();
        QTest::keyClick(form->SmileBrowser, Qt::Key_Escape);
        QTRY_VERIFY(form.isNull());
    }

    // ---- the user name ----

    void userFormLoadsTheDistinctNames() {
        Fixture f;
        f.addRelation(u"vasya"_s, u"BUDDY"_s);
        f.addRelation(u"vasya"_s, u"READER"_s);
        f.addRelation(u"Ёжик"_s, u"READER"_s);
        f.addRelation(u""_s, u"BUDDY"_s);
        f.addRelation(u"anna"_s, u"BUDDY"_s);
        AddUserForm form(f.ctx, nullptr);
        QCOMPARE(form.windowTitle(), u"Выберите имя юзера"_s);
        QVERIFY(form.isModal());
        QStringList items;
        for (int i = 0; i < form.cmbUserList->count(); ++i) {
            items.append(form.cmbUserList->itemText(i));
        }
        QCOMPARE(items, (QStringList{u"anna"_s, u"vasya"_s, u"Ёжик"_s}));
        QVERIFY(form.optSelect[1]->isChecked());
        QVERIFY(!form.optSelect[0]->isChecked());
        QVERIFY(form.cmbUserList->isEnabled());
        QVERIFY(!form.txtUserList->isEnabled());
        QCOMPARE(form.optSelect[1]->objectName(), u"optSelect_1"_s);
        QCOMPARE(form.optSelect[0]->text().remove(u'&'), u"Введите"_s);
        QCOMPARE(form.optSelect[1]->text().remove(u'&'), u"Выберите"_s);
        QCOMPARE(form.butOK->text(), u"ОК"_s);
        QCOMPARE(form.butCancel->text(), u"Отмена"_s);
        QCOMPARE(f.ctx.log.lines(), QStringList());
    }

    void optionButtonsSwitchTheBoxes() {
        Fixture f;
        f.addRelation(u"vasya"_s, u"BUDDY"_s);
        AddUserForm form(f.ctx, nullptr);
        form.show();
        QTest::mouseClick(form.optSelect[0], Qt::LeftButton);
        QVERIFY(form.optSelect[0]->isChecked());
        QVERIFY(form.txtUserList->isEnabled());
        QVERIFY(!form.cmbUserList->isEnabled());
        QTest::mouseClick(form.optSelect[1], Qt::LeftButton);
        QVERIFY(!form.txtUserList->isEnabled());
        QVERIFY(form.cmbUserList->isEnabled());
    }

    void typedNameIsChosen() {
        Fixture f;
        f.addRelation(u"vasya"_s, u"BUDDY"_s);
        AddUserForm form(f.ctx, nullptr);
        form.show();
        QTest::mouseClick(form.optSelect[0], Qt::LeftButton);
        type(form.txtUserList, u"Пётр_1"_s);
        QTest::mouseClick(form.butOK, Qt::LeftButton);
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QCOMPARE(form.chosenName(), u"Пётр_1"_s);
    }

    void pickedNameIsChosenWithEnter() {
        Fixture f;
        f.addRelation(u"anna"_s, u"BUDDY"_s);
        f.addRelation(u"vasya"_s, u"BUDDY"_s);
        AddUserForm form(f.ctx, nullptr);
        form.show();
        form.cmbUserList->setCurrentIndex(1);
        type(form.txtUserList, u"ignored"_s); // the box is off: what it holds does not count
        QTest::keyClick(&form, Qt::Key_Return);
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QCOMPARE(form.chosenName(), u"vasya"_s);
    }

    void cancelAndEscapeReject() {
        Fixture f;
        f.addRelation(u"vasya"_s, u"BUDDY"_s);
        {
            AddUserForm form(f.ctx, nullptr);
            form.show();
            QTest::mouseClick(form.butCancel, Qt::LeftButton);
            QCOMPARE(form.result(), int(QDialog::Rejected));
            QVERIFY(!form.isVisible());
        }
        AddUserForm form(f.ctx, nullptr);
        form.show();
        QTest::keyClick(&form, Qt::Key_Escape);
        QCOMPARE(form.result(), int(QDialog::Rejected));
        QVERIFY(!form.isVisible());
    }

    // A tag without a name would be pasted as "[user=]".
    void noNameNoAccept() {
        Fixture f;
        AddUserForm form(f.ctx, nullptr); // an empty address book
        form.show();
        QCOMPARE(form.cmbUserList->count(), 0);
        QVERIFY(!form.butOK->isEnabled());
        QTest::keyClick(&form, Qt::Key_Return);
        QVERIFY(form.isVisible());
        QTest::mouseClick(form.optSelect[0], Qt::LeftButton);
        type(form.txtUserList, u"   "_s);
        QVERIFY(!form.butOK->isEnabled());
        type(form.txtUserList, u" lisa "_s);
        QVERIFY(form.butOK->isEnabled());
        QTest::keyClick(form.txtUserList, Qt::Key_Return);
        QCOMPARE(form.result(), int(QDialog::Accepted));
        QCOMPARE(form.chosenName(), u"lisa"_s);
    }

    void addressBookThatCannotBeReadIsLogged() {
        Fixture f;
        f.ctx.db.execute(u"DROP TABLE AddressBook"_s);
        AddUserForm form(f.ctx, nullptr);
        QCOMPARE(form.cmbUserList->count(), 0);
        QCOMPARE(f.ctx.log.lines().size(), 1);
        QVERIFY2(f.ctx.log.lines()[0].contains(u"  AddUserForm.Load: "_s),
                 qPrintable(f.ctx.log.lines()[0]));
        form.show();
        QTest::mouseClick(form.optSelect[0], Qt::LeftButton);
        type(form.txtUserList, u"vasya"_s);
        QTest::mouseClick(form.butOK, Qt::LeftButton);
        QCOMPARE(form.chosenName(), u"vasya"_s);
    }

    // ---- the captions ----

    void captionsWindowShowsTheDefaults() {
        Fixture f;
        SetMesForm form(f.ctx, nullptr);
        QCOMPARE(form.windowTitle(), u"Настройка надписей"_s);
        QVERIFY(!form.isModal());
        const QStringList colours{u"Aqua"_s,   u"Black"_s, u"Blue"_s,   u"Fuchsia"_s,
                                  u"Gray"_s,   u"Green"_s, u"Lime"_s,   u"Maroon"_s,
                                  u"Navy"_s,   u"Olive"_s, u"Purple"_s, u"Red"_s,
                                  u"Silver"_s, u"Teal"_s,  u"White"_s,  u"Yellow"_s};
        for (QComboBox* combo : {form.ComboMusic, form.ComboNastroy}) {
            QStringList items;
            for (int i = 0; i < combo->count(); ++i) {
                items.append(combo->itemText(i));
            }
            QCOMPARE(items, colours);
            QCOMPARE(combo->currentIndex(), 11);
            QCOMPARE(combo->currentText(), u"Red"_s);
        }
        QCOMPARE(form.TextMusic->text(), u"В колонках:"_s);
        QCOMPARE(form.TextNastroy->text(), u"Настроение:"_s);
        QVERIFY(form.OptMusUp->isChecked() && !form.OptMusDown->isChecked());
        QVERIFY(form.OptNastUp->isChecked() && !form.OptNastDown->isChecked());
        QCOMPARE(form.Frame1->title(), u"Музыка"_s);
        QCOMPARE(form.Frame2->title(), u"Настроение"_s);
        QCOMPARE(form.Command1->text().remove(u'&'), u"Применить"_s);
        for (QLabel* label : {form.Label1, form.Label3}) {
            QCOMPARE(label->text().remove(u'&'), u"Надпись"_s);
        }
        for (QLabel* label : {form.Label2, form.Label4}) {
            QCOMPARE(label->text().remove(u'&'), u"Цвет"_s);
        }
        QCOMPARE(form.Label1->buddy(), form.TextMusic);
        QCOMPARE(form.Label4->buddy(), form.ComboNastroy);
        QCOMPARE(form.captions(), Options{});
    }

    void applyStoresTheCaptionsAndHides() {
        Fixture f;
        f.ctx.options.comment_type = u"name"_s;
        f.ctx.options.time_update = u"25"_s;
        SetMesForm form(f.ctx, nullptr);
        form.show();
        type(form.TextMusic, u"Слушаю:"_s);
        form.ComboMusic->setCurrentIndex(form.ComboMusic->findText(u"Navy"_s));
        QTest::mouseClick(form.OptMusDown, Qt::LeftButton);
        type(form.TextNastroy, u"Настрой —"_s);
        form.ComboNastroy->setCurrentIndex(0);
        QTest::mouseClick(form.Command1, Qt::LeftButton);
        QVERIFY(!form.isVisible());

        Options expected;
        expected.comment_type = u"name"_s;
        expected.time_update = u"25"_s;
        expected.text_music = u"Слушаю:"_s;
        expected.combo_music = u"Navy"_s;
        expected.text_nastroy = u"Настрой —"_s;
        expected.combo_nastroy = u"Aqua"_s;
        expected.OptMusUp = false;
        expected.OptMusDown = true;
        QCOMPARE(f.ctx.options, expected);

        const QString file = f.userStore.fileName();
        QCOMPARE(storedOption(file, u"text_music"_s), u"Слушаю:"_s);
        QCOMPARE(storedOption(file, u"combo_music"_s), u"Navy"_s);
        QCOMPARE(storedOption(file, u"text_nastroy"_s), u"Настрой —"_s);
        QCOMPARE(storedOption(file, u"combo_nastroy"_s), u"Aqua"_s);
        QCOMPARE(storedOption(file, u"OptMusUp"_s), u"False"_s);
        QCOMPARE(storedOption(file, u"OptMusDown"_s), u"True"_s);
        QCOMPARE(storedOption(file, u"OptNastUp"_s), u"True"_s);
        QCOMPARE(storedOption(file, u"OptNastDown"_s), u"False"_s);
        QCOMPARE(storedOption(file, u"comment_type"_s), u"name"_s);

        // The next start reads them back into a new window.
        QSettings again(file, QSettings::IniFormat);
        test::ScriptedPrompts prompts;
        AppContext next(f.dir.folder(), prompts, again);
        next.options = OptionsStore(again).LoadOptions();
        QCOMPARE(next.options, expected);
        SetMesForm reopened(next, nullptr);
        QCOMPARE(reopened.TextMusic->text(), u"Слушаю:"_s);
        QCOMPARE(reopened.ComboMusic->currentText(), u"Navy"_s);
        QCOMPARE(reopened.ComboNastroy->currentText(), u"Aqua"_s);
        QVERIFY(reopened.OptMusDown->isChecked() && !reopened.OptMusUp->isChecked());
        QVERIFY(reopened.OptNastUp->isChecked());
        QCOMPARE(reopened.captions(), expected);
    }

    // A save reads the controls as they stand, before "Применить" too; nothing
    // is stored until then.
    void captionsFollowTheControlsBeforeApply() {
        Fixture f;
        SetMesForm form(f.ctx, nullptr);
        form.show();
        type(form.TextNastroy, u"Моё настроение"_s);
        QTest::mouseClick(form.OptNastDown, Qt::LeftButton);
        form.ComboMusic->setCurrentIndex(form.ComboMusic->findText(u"Teal"_s));
        const Options now = form.captions();
        QCOMPARE(now.text_nastroy, u"Моё настроение"_s);
        QVERIFY(!now.OptNastUp && now.OptNastDown);
        QCOMPARE(now.combo_music, u"Teal"_s);
        QCOMPARE(f.ctx.options, Options{});
        QCOMPARE(storedOption(f.userStore.fileName(), u"text_nastroy"_s), u"<none>"_s);

        // Closing only hides: the controls keep what the user set.
        QTest::keyClick(&form, Qt::Key_Escape);
        QVERIFY(!form.isVisible());
        QCOMPARE(form.captions(), now);
    }

    void colourOutsideTheListIsKept() {
        Fixture f;
        f.ctx.options.combo_music = u"#FF8800"_s;
        f.ctx.options.combo_nastroy = u"red"_s;
        SetMesForm form(f.ctx, nullptr);
        QCOMPARE(form.ComboMusic->currentText(), u"#FF8800"_s);
        QCOMPARE(form.ComboNastroy->currentText(), u"red"_s);
        QCOMPARE(form.captions(), f.ctx.options);
    }

    void bothPlacesStoredTheSecondWins() {
        Fixture f;
        f.ctx.options.OptMusUp = true;
        f.ctx.options.OptMusDown = true;
        f.ctx.options.OptNastUp = false;
        f.ctx.options.OptNastDown = false;
        SetMesForm form(f.ctx, nullptr);
        QVERIFY(!form.OptMusUp->isChecked() && form.OptMusDown->isChecked());
        QVERIFY(!form.OptNastUp->isChecked() && !form.OptNastDown->isChecked());
    }

    // ---- pictures of the windows, for a look by eye ----

    void screenshots() {
        const QString folder = qEnvironmentVariable("ORV_SCREENSHOT_DIR");
        if (folder.isEmpty()) {
            QSKIP("set ORV_SCREENSHOT_DIR to write pictures of the windows");
        }
        Fixture f;
        for (const QString& code : {u":)"_s, u":("_s, u";)"_s, u":D"_s, u":-/"_s, u":'("_s}) {
            f.addSmiley(code, u"http://kordenet.ru/smiles/"_s + code + u".gif"_s);
        }
        f.addSmiley(u":new:"_s, f.dir.file(u"img/new_new.bmp"_s));
        f.addRelation(u"vasya"_s, u"BUDDY"_s);
        f.addRelation(u"Ёжик"_s, u"READER"_s);
        const auto save = [&](QWidget* window, const QString& name) {
            QVERIFY(QTest::qWaitForWindowExposed(window));
            QTest::qWait(200);
            QVERIFY(window->grab().save(folder + u'/' + name + u".png"_s));
        };
        QPointer<SmileForm> picker = f.openPicker();
        save(picker, u"SmileForm"_s);
        delete picker;
        AddUserForm users(f.ctx, nullptr);
        users.show();
        save(&users, u"AddUserForm"_s);
        QTest::mouseClick(users.optSelect[0], Qt::LeftButton);
        type(users.txtUserList, u"Пётр"_s);
        save(&users, u"AddUserForm-typed"_s);
        SetMesForm captions(f.ctx, nullptr);
        captions.show();
        save(&captions, u"SetMesForm"_s);
        captions.resize(captions.width() + 200, captions.height() + 80);
        save(&captions, u"SetMesForm-wide"_s);
    }
};

QTEST_MAIN(InsertHelpersTest)
#include "tst_inserthelpers.moc"
