// The program's windows around the tree: the start, the notification-area
// icon and the exit sequence, the settings window and the message view.
#include "AccountForm.h"
#include "AddForm.h"
#include "CommForm.h"
#include "Dialog.h"
#include "DiaryExportCommand.h"
#include "ExitSequence.h"
#include "GuiFixture.h"
#include "ImageCheck.h"
#include "MessageView.h"
#include "RelForm.h"
#include "SetMesForm.h"
#include "SetUpdForm.h"
#include "SettingsForm.h"
#include "SmileForm.h"
#include "StandinPictures.h"
#include "StoreCopyCommands.h"
#include "app/Constants.h"
#include "app/ExchangeLock.h"
#include "render/Renderer.h"
#include "store/PictureStore.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSpinBox>
#include <QTextFrame>

using namespace Qt::StringLiterals;
using namespace orv;

namespace {

const QString kSettingsFirst = u"Перед использованием программы, настройте её."_s;

// Records the names of the windows that are asked to close, in order.
class CloseRecorder : public QObject {
public:
    CloseRecorder() { qApp->installEventFilter(this); }
    ~CloseRecorder() override { qApp->removeEventFilter(this); }
    QStringList closed;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Close && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->isWindow()) {
            closed.append(watched->objectName());
        }
        return false;
    }
};

struct Fixture : test::GuiFixture {
    explicit Fixture(const QString& user = u"me"_s) {
        if (!user.isEmpty()) {
            configure(user);
        }
    }
};

} // namespace

class WindowsTest : public QObject {
    Q_OBJECT

private slots:
    void aFirstStartOpensTheAccountWindowWhichWritesWhatTheListWould_data() {
        QTest::addColumn<bool>("hidden");
        QTest::newRow("shown") << false;
        QTest::newRow("in the notification area") << true;
    }
    void aFirstStartOpensTheAccountWindowWhichWritesWhatTheListWould() {
        QFETCH(bool, hidden);
        test::AssumedNotificationArea tray(true);
        Fixture f{QString()};
        f.userStore.setValue(u"options/StartMinimized"_s, hidden ? u"1"_s : u"0"_s);
        MainForm& form = f.start();
        QCOMPARE(form.isVisible(), !hidden);
        auto* account = form.findChild<AccountForm*>();
        QVERIFY(account && account->isVisible());
        QVERIFY(f.prompts.messages.isEmpty()); // no error box on the welcome
        QVERIFY(!form.settingsForm());
        QVERIFY(f.exchanges().Timer->isActive());
        QVERIFY(!QApplication::overrideCursor());
        const QList<QPair<QString, QString>> typed = {{u"UserName"_s, u"anna"_s},
                                                      {u"Password"_s, u"p'1 x"_s},
                                                      {u"ServiceURL"_s, u"http://127.0.0.1:9"_s},
                                                      {u"MaxPost"_s, u"2000"_s},
                                                      {u"TimeOffset"_s, u"-3"_s}};
        account->TxtUser->setText(typed[0].second);
        account->TxtPassword->setText(typed[1].second);
        account->TxtService->setText(typed[2].second);
        account->SpinMaxPost->setValue(typed[3].second.toInt());
        account->SpinTimeOffset->setValue(typed[4].second.toInt());
        account->ButSave_Click();
        QVERIFY(!account->isVisible());
        QCOMPARE(f.ctx->settings.MaxPost, u"2000"_s);

        // The settings list, given the same values, writes the same rows.
        Fixture list{QString()};
        list.start();
        list.mainForm->mnu_Setting_Click();
        SettingsForm* raw = list.mainForm->settingsForm();
        for (const auto& [key, value] : typed) {
            const auto& rows = raw->workingTable();
            const auto row = std::find_if(rows.begin(), rows.end(),
                                          [&](const SettingRow& r) { return r.key == key; });
            raw->ListVars->setCurrentRow(int(row - rows.begin()));
            raw->TxtValue->clear();
            QTest::keyClicks(raw->TxtValue, value);
        }
        raw->ButSave_Click();
        const QString all = u"SELECT iniVariable, iniValue FROM iniSettings ORDER BY SortID"_s;
        QCOMPARE(f.rows(all), list.rows(all));
    }

    void aHiddenStartNeedsANotificationArea() {
        {
            Fixture f; // offscreen: nothing could bring a hidden window back
            f.create().setStartHidden(true);
            f.mainForm->Form_Load();
            QVERIFY(f.mainForm->isVisible());
        }
        test::AssumedNotificationArea tray(true);
        Fixture f;
        f.create().setStartHidden(true);
        f.mainForm->Form_Load();
        QVERIFY(f.waitForTree());
        QVERIFY(!f.mainForm->isVisible());
        QCOMPARE(f.mainForm->windowTitle(), u"me - ORV v.0.7.31c (главная форма)"_s);
        QVERIFY(f.shows(u"key-me"_s));
        f.mainForm->bringForward();
        QVERIFY(f.mainForm->isVisible());
    }

    void anUnreadableDatabaseLeavesAUsableWindow() {
        Fixture f{QString()};
        f.dir.write(u"database.mdb"_s, QByteArray(8192, '\x01'));
        MainForm& form = f.start();
        QVERIFY(form.isVisible());
        QVERIFY(f.ctx->log.currentText().contains(u"  MainForm.Load: "_s));
        QCOMPARE(f.dir.read(u"database.mdb"_s), QByteArray(8192, '\x01'));
        form.mnu_Setting_Click(); // the commands fail in their own traps
        QVERIFY(f.ctx->log.currentText().contains(u"  SettingsForm.Load: "_s));
        QVERIFY(!QApplication::overrideCursor());
    }

    void theWindowComesBackAsItWasLeft() {
        Fixture f;
        f.start().resize(900, 610);
        f.select(u"FriendPostsRoot"_s);
        f.mainForm->close(); // hidden in the notification area, or ended
        f.mainForm.reset();
        f.tray.reset();
        f.start(); // the next start
        QCOMPARE(f.mainForm->size(), QSize(900, 610));
        QCOMPARE(f.pane().selectedKey(), u"FriendPostsRoot"_s);
        f.action(u"mnu_About"_s)->trigger();
        QVERIFY(f.prompts.messages.last().text.contains(QDir::toNativeSeparators(f.dir.path())));
    }

    void theStatusListKeepsTheLatestLines() {
        Fixture f;
        f.start();
        for (int i = 0; i < MainForm::MaxStatusLines + 50; ++i) {
            f.ctx->log.LogStatus(u"Строка "_s + QString::number(i));
        }
        QComboBox* status = f.mainForm->statusList();
        QCOMPARE(status->count(), MainForm::MaxStatusLines);
        QVERIFY(status->currentText().endsWith(u"Строка "_s +
                                               QString::number(MainForm::MaxStatusLines + 49)));
    }

    // A copy saved from the window comes back into it, with no exchange running.
    void aCopyOfTheStoreIsRestoredFromTheWindow() {
        test::GuiFixture f;
        f.configure(u"me"_s);
        f.start();
        StoreCopyCommands& copies = f.mainForm->storeCopies();
        const QString copy = f.dir.file(u"copy.mdb"_s);
        copies.pickFile = [&](bool, const QString&) { return copy; };
        f.sql(u"INSERT INTO Posts (PostID, JournalID, uName, Header, Sent) VALUES ('1', '9', "
              u"'anna', 'Сохранённый', 1)"_s);
        copies.mnu_Backup->trigger();
        f.sql(u"INSERT INTO Posts (PostID, JournalID, uName, Header, Sent) VALUES ('2', '9', "
              u"'anna', 'Поздний', 1)"_s);

        // A run holds the folder: nothing is replaced.
        std::optional<ExchangeLock> running(std::in_place, f.ctx->folder);
        QVERIFY(running->tryLock());
        f.prompts.answers = {true, true};
        copies.mnu_Restore->trigger();
        QCOMPARE(f.prompts.messages.last().text, ExchangeLock::BusyText);
        QCOMPARE(f.count(u"SELECT count(*) FROM Posts"_s), 2);
        running.reset();

        copies.mnu_Restore->trigger();
        QVERIFY(f.waitForTree());
        QVERIFY(f.shows(u"friendpostkey-1-1"_s) && !f.shows(u"friendpostkey-2-2"_s));
        QVERIFY(f.logged(u"База восстановлена из копии: "_s + copy));

        // The restored diary goes out from its node's menu, and only from a diary's.
        QAction* exportDiary = f.mainForm->diaryExport().mnu_ExportDiary;
        f.select(u"friendpostkey-1-1"_s);
        f.pane().Tree_MouseUp({});
        QVERIFY(!exportDiary->isEnabled());
        f.pane().contextMenu()->hide();
        f.select(u"key-anna"_s);
        f.pane().Tree_MouseUp({});
        QVERIFY(exportDiary->isEnabled());
        f.pane().contextMenu()->hide();
        f.mainForm->diaryExport().pickFolder = [&](const QString& diary) {
            return f.dir.file(u"diary-"_s + diary);
        };
        exportDiary->trigger();
        QVERIFY(f.dir.read(u"diary-anna/index.html"_s).contains("Сохранённый"));
        QVERIFY(f.logged(u"Дневник anna выгружен в "_s + f.dir.file(u"diary-anna"_s) +
                         u": постов - 1"_s));
    }

    void theIconTogglesTheMainWindow() {
        Fixture f;
        MainForm& form = f.start();
        f.tray->iconActivated(QSystemTrayIcon::DoubleClick);
        QVERIFY(!form.isVisible());
        f.tray->iconActivated(QSystemTrayIcon::Trigger); // a click leaves a hidden window hidden
        QVERIFY(!form.isVisible());
        f.tray->iconActivated(QSystemTrayIcon::DoubleClick);
        QVERIFY(form.isVisible());
        form.hide();
        f.tray->mnutr_open_Click();
        QVERIFY(form.isVisible());
    }

    void theExitClosesTheOwnedWindowsInOrder() {
        Fixture f;
        MainForm& form = f.start();
        form.mnu_NewPost_Click();
        QPointer<AddForm> editor = form.editor();
        emit editor->smileysRequested();
        form.mnu_setcom_Click();
        QPointer<Dialog> dialog = new Dialog(u"Отчёт"_s, u"текст"_s, &form); // as prompts make it
        dialog->show();
        form.mnu_Friends_Click();
        form.mnu_Setting_Click();
        f.exchanges().mnu_update_Click();
        form.mnu_setMes_Click();
        QList<QPointer<QWidget>> windows = {editor.get(), dialog.get(), &form};
        for (const char* name :
             {"SmileForm", "CommForm", "RelForm", "SettingsForm", "SetUpdForm", "SetMesForm"}) {
            windows.append(form.findChild<QWidget*>(QString::fromLatin1(name)));
            QVERIFY2(windows.last() && windows.last()->isVisible(), name);
        }
        QWidget stranger; // a window of the same name that the main window does not own stays
        stranger.setObjectName(u"RelForm"_s);
        stranger.show();

        CloseRecorder recorder;
        QSignalSpy exited(f.tray.get(), &TrayForm::exited);
        f.tray->mnutr_popup()->findChild<QAction*>(u"mnutr_exit"_s)->trigger();
        QCOMPARE(recorder.closed, QStringList({u"AddForm"_s, u"CommForm"_s, u"Dialog"_s,
                                               u"MainForm"_s, u"RelForm"_s, u"SettingsForm"_s,
                                               u"SmileForm"_s, u"SetUpdForm"_s, u"SetMesForm"_s}));
        for (const QPointer<QWidget>& window : windows) {
            QVERIFY(!window || !window->isVisible());
        }
        QVERIFY(stranger.isVisible());
        QVERIFY(form.exitSequence().isExiting());
        QVERIFY(!f.tray->icon()->isVisible());
        QCOMPARE(exited.count(), 1);
    }

    void theExitSkipsClosedWindowsAndGoesOnPastAKeptEditor() {
        Fixture f;
        MainForm& form = f.start();
        form.mnu_Setting_Click();
        form.settingsForm()->close();
        form.mnu_setMes_Click();
        form.findChild<SetMesForm*>()->hide(); // a dialog closed by the user is only hidden
        form.hide();                           // the main window sits in the notification area
        form.mnu_NewPost_Click();
        QPointer<AddForm> editor = form.editor();
        editor->Form_Activate();
        editor->HeadText->setText(u"Черновик"_s);

        CloseRecorder recorder;
        QSignalSpy exited(f.tray.get(), &TrayForm::exited);
        f.prompts.answers = {false}; // the editor is not closed without saving
        f.action(u"mnu_Exit"_s)->trigger();
        QVERIFY(exited.wait(5000));
        QCOMPARE(f.prompts.questions, QStringList({VersionTag + u"|Закрыть без сохранения?"_s}));
        QCOMPARE(recorder.closed, QStringList({u"AddForm"_s, u"MainForm"_s}));
        QVERIFY(editor && editor->isVisible()); // it keeps its text; the program ends all the same
    }

    void closingHidesTheWindowUntilTheExitBegins() {
        test::AssumedNotificationArea tray(true);
        Fixture f;
        MainForm& form = f.start();
        QSignalSpy exited(f.tray.get(), &TrayForm::exited);
        QVERIFY(!form.close()); // refused: the window lives on, reached through the icon
        QVERIFY(!form.isVisible());
        form.show();
        form.exitSequence().beginExit();
        QVERIFY(form.close());
        QCoreApplication::processEvents();
        QCOMPARE(exited.count(), 0); // closing is part of the exit, not its start
    }

    void theSettingsWindowSavesEveryRowAndExitDropsTheRest() {
        Fixture f;
        f.start().mnu_Setting_Click();
        QPointer<SettingsForm> form = f.mainForm->settingsForm();
        QCOMPARE(form->TxtValue->text(), u"me"_s); // the first row, the user name
        form->TxtValue->selectAll();
        QTest::keyClicks(form->TxtValue, u"Petya"_s);
        form->ButSave->click();
        QCOMPARE(f.rows(u"SELECT iniValue FROM iniSettings WHERE iniVariable = 'UserName'"_s),
                 QStringList{u"Petya"_s});
        QCOMPARE(f.mainForm->windowTitle(), u"Petya - ORV v.0.7.31c (главная форма)"_s);
        QTest::keyClicks(form->TxtValue, u"x"_s); // not saved
        form->ButExit->click();
        QTRY_VERIFY(!form);
        QVERIFY(f.waitForTree());
        QVERIFY(f.shows(u"key-Petya"_s));
        QCOMPARE(f.ctx->settings.UserName, u"Petya"_s);
    }

    // A kept picture shows with no service behind it, and an animated one
    // moves; one not kept is fetched when its page shows and then appears;
    // the smiley picker shows the kept picture instead of the code.
    void theViewShowsPicturesFromTheStore() {
        Fixture f;
        standin::StandinData data;
        standin::StandinServer server(data);
        QVERIFY(server.listen());
        f.start();
        f.ctx->isPicture = ImageCheck::decodes;
        const QString smiley = server.url() + u"/smiles/1.gif"_s;
        const QString later = server.url() + u"/pic/2.png"_s;
        f.dir.write(u"fetched.gif"_s, standin::StandinPictures::animatedGif());
        QVERIFY(QDir().mkpath(f.ctx->folder.picturesFolder()));
        PictureStore(f.ctx->db, f.ctx->folder.picturesFolder())
            .keep(smiley, f.dir.file(u"fetched.gif"_s));
        f.sql(u"INSERT INTO Posts (ThisID, PostID, JournalID, uName, Header, Message, Messagedate, "
              u"Sent) VALUES (1, '1001', '71', 'anna', 'Фото', '<img src=\""_s +
              smiley + u"\"> и <IMG SRC="_s + later + u">', '2006-03-05 14:07:00', 1)"_s);
        QVERIFY(f.reloadTree());
        f.select(u"friendpostkey-1001-1"_s);
        MessageView* view = f.mainForm->browser();
        const qreal withoutPicture = view->document()->size().height();
        const auto shown = [&](const QString& url) {
            return view->document()
                ->resource(QTextDocument::ImageResource, QUrl(url))
                .value<QImage>();
        };
        QCOMPARE(shown(smiley).size(), QSize(19, 19));
        QCOMPARE(view->movingPictures(), 1);
        const QImage first = shown(smiley);
        QTRY_VERIFY(shown(smiley) != first);
        QTRY_VERIFY(view->document()->size().height() > withoutPicture + 20); // shown again
        QCOMPARE(shown(later).size(), QSize(64, 48));
        QCOMPARE(server.received().size(), 1); // the kept one was never fetched

        f.sql(u"INSERT INTO Smiles (Smile, SmileURL) VALUES (':)', '"_s + smiley + u"')"_s);
        auto* picker = new SmileForm(*f.ctx, f.mainForm.get());
        picker->showCatalogue();
        QVERIFY(!picker->SmileBrowser->toPlainText().contains(u":)"_s));
        QCOMPARE(picker->SmileBrowser->movingPictures(), 1);
        picker->close();
    }

    // The reader's zoom comes back at the next start and steps from there;
    // a dark desktop gets a dark page with light text.
    void theViewFollowsTheReadersZoomAndPalette() {
        Fixture f;
        f.userStore.setValue(u"options/view_zoom"_s, u"130"_s);
        f.start();
        f.sql(u"INSERT INTO Posts (ThisID, PostID, JournalID, uName, Header, Message, Messagedate, "
              u"Sent) VALUES (1, '1001', '71', 'anna', 'Заголовок', 'Слово', "
              u"'2006-03-05 14:07:00', 1)"_s);
        QVERIFY(f.reloadTree());
        f.select(u"friendpostkey-1001-1"_s);
        MessageView* view = f.mainForm->browser();
        const auto word = [&] { return view->document()->find(u"Слово"_s).charFormat(); };
        QCOMPARE(word().fontPointSize(), 13.0);
        f.mainForm->findChild<QAction*>(u"mnu_ZoomOut"_s)->trigger();
        QCOMPARE(word().fontPointSize(), 12.0);
        QCOMPARE(f.userStore.value(u"options/view_zoom"_s).toString(), u"120"_s);
        f.mainForm->findChild<QAction*>(u"mnu_ZoomReset"_s)->trigger();
        QCOMPARE(word().fontPointSize(), 10.0);

        QPalette dark = view->palette();
        dark.setColor(QPalette::Window, QColor(0x20, 0x20, 0x20));
        dark.setColor(QPalette::Base, QColor(0x10, 0x10, 0x10));
        dark.setColor(QPalette::AlternateBase, QColor(0x28, 0x28, 0x28));
        dark.setColor(QPalette::Text, QColor(0xe0, 0xe0, 0xe0));
        view->setPalette(dark);
        QVERIFY(view->document()->rootFrame()->frameFormat().background().color().lightness() < 64);
        QVERIFY(word().foreground().color().lightness() > 192);
    }

    void theViewShowsPagesAndWebLinksLeaveIt() {
        Fixture f;
        f.start();
        f.sql(u"INSERT INTO Posts (ThisID, PostID, JournalID, uName, Header, Message, Messagedate, "
              u"Sent) VALUES (1, '1001', '71', 'anna', '&laquo;Мастер&raquo;', "
              u"'[user=lisa_m] [QUOTE]Никогда[/QUOTE] [url=http://kordenet.ru/books]книги[/url]', "
              u"'2006-03-05 14:07:00', 1)"_s);
        QVERIFY(f.reloadTree());
        f.select(u"friendpostkey-1001-1"_s);
        MessageView* view = f.mainForm->browser();
        QVERIFY2(view->toPlainText().contains(u"«Мастер»"_s), qPrintable(view->toPlainText()));
        QVERIFY(view->toPlainText().contains(u"Цитата:"_s));
        // The program's own pictures, also with no img/ in the working folder.
        QVERIFY(QDir(f.dir.file(u"img"_s)).removeRecursively());
        QVERIFY(
            !view->loadResource(QTextDocument::ImageResource, QUrl(u"..\\img\\new_person.bmp"_s))
                 .value<QImage>()
                 .isNull());
        QList<QUrl> opened;
        view->setExternalOpener([&](const QUrl& url) {
            opened.append(url);
            return true;
        });
        const QString before = view->toHtml();
        view->Browser_BeforeNavigate2(QUrl(u"http://kordenet.ru/books"_s));
        QCOMPARE(opened, QList<QUrl>{QUrl(u"http://kordenet.ru/books"_s)});
        QCOMPARE(view->toHtml(), before);
        // A local file outside the program's pages stays closed.
        f.dir.write(u"secret.htm"_s, "<p>secret</p>");
        view->Browser_BeforeNavigate2(QUrl(u"../secret.htm"_s));
        view->Browser_BeforeNavigate2(QUrl::fromLocalFile(f.dir.file(u"secret.htm"_s)));
        QCOMPARE(view->toHtml(), before);
        view->Browser_BeforeNavigate2(QUrl(u"about:blank"_s));
        QVERIFY(view->toPlainText().isEmpty());
    }
};

QTEST_MAIN(WindowsTest)
#include "tst_windows.moc"
