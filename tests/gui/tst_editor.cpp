// Writing offline: the editor opened by the main window's commands, its save
// into the outbox, and the windows that help it (smileys, user names, captions).
#include "AddForm.h"
#include "AddUserForm.h"
#include "CommForm.h"
#include "GuiFixture.h"
#include "MessageView.h"
#include "SetMesForm.h"
#include "SmileForm.h"
#include "app/Constants.h"
#include "composer/SmileyPage.h"
#include "composer/SpellChecker.h"
#include "store/Drafts.h"
#include "store/Outbox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextEdit>
#include <QTextLayout>
#include <QToolButton>

using namespace Qt::StringLiterals;
using namespace orv;

namespace {

const QString kSignature = PostSignature;

QString captionLine(const QString& caption, const QString& text) {
    return u"<div style='font-size: 8pt; color: Red; font-style: italic;'>"_s + caption + u' ' +
           text + u"</div>"_s;
}

// The words a view underlines, in order.
QStringList underlined(QTextDocument* document) {
    QStringList words;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        for (const QTextLayout::FormatRange& range : block.layout()->formats()) {
            if (range.format.underlineStyle() == QTextCharFormat::SpellCheckUnderline) {
                words << block.text().mid(range.start, range.length);
            }
        }
    }
    return words;
}

// Key by key, as the user types; any letters.
void typeInto(QWidget* widget, const QString& text) {
    for (const QChar c : text) {
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

struct Fixture : test::GuiFixture {
    Fixture() {
        configure(u"me"_s);
        start();
        ctx->options.veiw_setcomm = true; // replies open the editor directly
        // A post of someone else that is on the service, one comment on it,
        // the friends list and the smileys.
        sql(u"INSERT INTO Posts (PostID, JournalID, uName, Header, Message, Messagedate, Sent) "
            u"VALUES ('700', '9', 'anna', 'Её пост', 'a&lt;b' || char(10) || 'c', "
            u"'2006-03-05 10:00:00', 1)"_s);
        sql(u"INSERT INTO Comments (CommentID, PostID, JournalID, uName, Message, Messagedate, "
            u"Sent) VALUES ('900', '700', '9', 'boris', 'Согласен', '2006-03-05 11:00:00', 1)"_s);
        sql(u"INSERT INTO AddressBook (Nick, Status) VALUES ('anna', 'BUDDY'), "
            u"('boris', 'READER'), ('anna', 'READER')"_s);
        sql(u"INSERT INTO Smiles (Smile, SmileURL) VALUES (':)', 'http://x/1.gif'), "
            u"(':''(', 'http://x/cry.gif'), ('Ёжик', 'http://x/yo.gif')"_s);
        QVERIFY(reloadTree());
    }

    AddForm* editor() { return mainForm->editor(); }
    AddForm* newPost(const QString& source) {
        mainForm->mnu_NewPost_Click();
        editor()->Form_Activate();
        writeSource(source);
        return editor();
    }
    // Types the body into the source view, as the user would.
    void writeSource(const QString& html) {
        editor()->TabStrip_Click(1);
        editor()->txtSrcCode->setPlainText(html);
    }
    QTextBrowser* browser() { return mainForm->browser(); }
    QString ownKey(const QString& thisId) {
        return u"friendpostkey-tmp"_s + thisId + u'-' + thisId;
    }
};

} // namespace

class EditorTest : public QObject {
    Q_OBJECT

private slots:
    void aNewPostIsAnOutboxRowShownInTheTree() {
        Fixture f;
        AddForm* editor = f.newPost(u"<b>Привет</b>, мир"_s);
        QVERIFY(editor->ChBox_ParseURL->isChecked() && editor->ChBox_Subscribe->isChecked());
        QVERIFY(!editor->AdresatBox->isEnabled());
        editor->ChBox_Closed->setChecked(true);
        editor->ButSave_Click(); // with the source tab showing
        QTRY_VERIFY(!f.editor());
        const QStringList stored =
            f.rows(u"SELECT ThisID, Message, Header, uName, New, Sent, out_Privatepost FROM "
                   u"Posts WHERE Sent = 0"_s);
        QCOMPARE(stored.size(), 1);
        const QString key = stored[0].section(u'|', 0, 0);
        QCOMPARE(stored[0], key + u"|<b>Привет</b>, мир"_s + kSignature + u"| |me|0|0|1"_s);
        QVERIFY(f.waitForTree());
        QVERIFY(f.shows(f.ownKey(key)));
    }

    void editingRewritesTheUnsentMessageOfTheNode() {
        Fixture f;
        AddForm* written = f.newPost(u"Тело"_s);
        written->Text_music->setText(u"Song"_s);
        written->Text_nast->setText(u"Весело"_s);
        written->ButSave_Click(); // both lines above the text
        const QString body = f.rows(u"SELECT Message FROM Posts WHERE Sent = 0"_s)[0];
        QCOMPARE(body, captionLine(u"В колонках:"_s, u"Song"_s) +
                           captionLine(u"Настроение:"_s, u"Весело"_s) + u"<br>Тело"_s + kSignature);
        const QString key = f.rows(u"SELECT ThisID FROM Posts WHERE Sent = 0"_s)[0];
        f.ctx->options.OptMusUp = false; // the edit keeps the lines where they were
        f.ctx->options.OptMusDown = true;
        f.select(f.ownKey(key));
        f.mainForm->mnu_EditPost_Click();
        AddForm* editor = f.editor();
        QVERIFY(editor);
        QCOMPARE(editor->editedKey(), std::optional(f.ownKey(key)));
        QCOMPARE(editor->txtSrcCode->toPlainText(), u"Тело"_s); // without lines and signature
        editor->nowPlaying = [] { return u"Плеер"_s; };
        editor->Form_Activate();
        QCOMPARE(editor->Text_music->text() + u'|' + editor->Text_nast->text(), u"Song|Весело"_s);
        editor->HeadText->setText(u"Заголовок"_s);
        editor->ButSave_Click();
        QCOMPARE(f.rows(u"SELECT Header, Message FROM Posts WHERE Sent = 0"_s),
                 QStringList{u"Заголовок|"_s + body}); // one row, each line once

        // Someone else's, sent or not, is not edited.
        OutgoingMessage foreign;
        foreign.userName = u"anna"_s;
        const QString other = QString::number(Outbox(f.ctx->db).addPost(foreign));
        QVERIFY(f.reloadTree());
        for (const QString& node : {u"friendpostkey-700-1"_s, f.ownKey(other)}) {
            f.select(node);
            f.mainForm->mnu_EditPost_Click();
            QVERIFY2(!f.editor() || !f.editor()->isVisible(), qPrintable(node));
        }
    }

    void theMusicBoxKeepsWhatTheUserTyped() {
        Fixture f;
        f.mainForm->mnu_NewPost_Click();
        AddForm* editor = f.editor();
        QString playing = u"Artist - Song"_s;
        editor->nowPlaying = [&playing] { return playing; };
        editor->Form_Activate(); // the opening asks the player
        QCOMPARE(editor->Text_music->text(), u"Artist - Song"_s);
        playing = u"Другая"_s;
        for (const QString& typed : {u"Своё"_s, QString()}) {
            editor->Text_music->setText(typed);
            editor->Form_Activate(); // back from a dialog
            QCOMPARE(editor->Text_music->text(), typed);
        }
        editor->butMusic->click();
        QCOMPARE(editor->Text_music->text(), u"Другая"_s);
    }

    void captionLinesComeBackOnce_data() {
        QTest::addColumn<int>("places"); // music above, below, mood above, below
        QTest::addColumn<QString>("music");
        QTest::addColumn<QString>("mood");
        for (int places = 0; places < 16; ++places) {
            for (int filled = 0; filled < 4; ++filled) {
                QTest::addRow("places %d, filled %d", places, filled)
                    << places << (filled & 1 ? u"Song"_s : QString())
                    << (filled & 2 ? u"Весело"_s : QString());
            }
        }
    }
    void captionLinesComeBackOnce() {
        QFETCH(int, places);
        QFETCH(QString, music);
        QFETCH(QString, mood);
        Options captions;
        captions.OptMusUp = places & 1;
        captions.OptMusDown = places & 2;
        captions.OptNastUp = places & 4;
        captions.OptNastDown = places & 8;
        Draft draft;
        draft.body = u"<br>В колонках: Song"_s + captionLine(u"Настроение:"_s, u"x"_s) + u"<br>"_s;
        draft.music = music;
        draft.mood = mood;
        const QString body = Composer::composeBody(draft, captions);
        Options now = captions; // the places found count, not those set now
        now.OptMusUp = !now.OptMusUp;
        now.OptMusDown = !now.OptMusDown;
        now.OptNastUp = !now.OptNastUp;
        now.OptNastDown = !now.OptNastDown;
        const Composer::SplitBody split = Composer::splitCaptions(body, now);
        QCOMPARE(split.text, draft.body);
        QCOMPARE(split.music, places & 3 ? music : QString());
        QCOMPARE(split.mood, places & 12 ? mood : QString());
        Draft again = draft;
        again.body = split.text;
        again.music = split.music;
        again.mood = split.mood;
        QCOMPARE(Composer::composeBody(again, Composer::placedAsFound(now, split)), body);
    }

    void bodiesWithoutCaptionLinesStayWhole_data() {
        QTest::addColumn<QString>("body");
        const QString music = captionLine(u"В колонках:"_s, u"Song"_s);
        QTest::newRow("plain") << u"Текст<br>дальше"_s;
        QTest::newRow("caption in the text") << u"В колонках: Song<br>Настроение: x"_s;
        QTest::newRow("line in the middle") << u"до"_s + music + u"<br>после"_s;
        QTest::newRow("line above without <br>") << music + u"текст"_s;
        QTest::newRow("line below, more after") << u"т"_s + music + u"<div>.</div>"_s;
        QTest::newRow("another caption") << captionLine(u"Слушаю:"_s, u"Song"_s) + u"<br>т"_s;
        QTest::newRow("empty line") << captionLine(u"В колонках:"_s, QString()) + u"<br>т"_s;
        QTest::newRow("unclosed line") << u"т"_s + music.chopped(6);
    }
    void bodiesWithoutCaptionLinesStayWhole() {
        QFETCH(QString, body);
        const Composer::SplitBody split = Composer::splitCaptions(body + kSignature, Options());
        QCOMPARE(split.text, body);
        QVERIFY(split.music.isEmpty() && split.mood.isEmpty());
        QVERIFY(!split.musicPlace && !split.moodPlace);
    }

    // Run as a process of its own by the test below, which kills it.
    void typesUntilKilled() {
        const QString folder = qEnvironmentVariable("ORV_TYPING_FOLDER");
        if (folder.isEmpty()) {
            QSKIP("the editor killed by aDraftOutlivesAKilledEditor");
        }
        test::ScriptedPrompts prompts;
        QSettings userStore(folder + u"/user.ini"_s, QSettings::IniFormat);
        AppContext ctx(WorkingFolder(folder), prompts, userStore);
        TrayForm tray(ctx);
        MainForm window(ctx, tray);
        window.Form_Load();
        window.mnu_NewPost_Click();
        AddForm* editor = window.editor();
        editor->Form_Activate();
        typeInto(editor->HeadText, u"Заголовок"_s);
        editor->TabStrip_Click(1);
        typeInto(editor->txtSrcCode, u"Десять минут <b>текста</b>"_s);
        editor->Text_nast->setText(u"Весело"_s);
        editor->ChBox_Closed->setChecked(true);
        QTRY_VERIFY_WITH_TIMEOUT(Drafts(ctx.db).left(), 15000); // by the timer alone
        QTextStream(stdout) << "kept" << Qt::endl;
        QTest::qWait(60000);
    }

    void aDraftOutlivesAKilledEditor() {
        Fixture f; // the fixture's own program is ended before the run below
        f.mainForm.reset();
        QProcess typing;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"ORV_TYPING_FOLDER"_s, f.dir.path());
        typing.setProcessEnvironment(environment);
        typing.start(QCoreApplication::applicationFilePath(), {u"typesUntilKilled"_s});
        QByteArray said;
        QTRY_VERIFY_WITH_TIMEOUT((said += typing.readAllStandardOutput()).contains("kept") ||
                                     typing.state() == QProcess::NotRunning,
                                 30000);
        typing.kill(); // SIGKILL: nothing of the editor is cleaned up
        QVERIFY(typing.waitForFinished());

        f.create();
        f.prompts.answers = {true};
        f.mainForm->Form_Load();
        QTRY_VERIFY(f.editor());
        QCOMPARE(f.prompts.questions.size(), 1);
        QVERIFY(f.prompts.questions[0].contains(u"|Найден несохранённый текст сообщения от "_s));
        AddForm* editor = f.editor();
        QCOMPARE(editor->HeadText->text(), u"Заголовок"_s);
        QCOMPARE(editor->txtSrcCode->toPlainText(), u"Десять минут <b>текста</b>"_s);
        QCOMPARE(editor->currentTab(), 1); // the source view, as it was
        QCOMPARE(editor->Text_nast->text(), u"Весело"_s);
        QVERIFY(editor->ChBox_Closed->isChecked());
        QVERIFY(!editor->close()); // unsaved text: the question, answered No
        editor->ButSave_Click();
        QCOMPARE(f.rows(u"SELECT Header, out_Privatepost FROM Posts WHERE Sent = 0"_s),
                 QStringList{u"Заголовок|1"_s});
        QCOMPARE(f.count(u"SELECT count(*) FROM Drafts"_s), 0);
    }

    void aLeftDraftIsOfferedOnceOrDropped() {
        Fixture f;
        const auto restart = [&] {
            f.mainForm.reset();
            f.prompts.questions.clear();
            f.start();
        };
        f.sql(u"INSERT INTO Drafts VALUES (1, '2026-12-07 10:00:00', '{\"format\": 1')"_s);
        restart();
        QVERIFY(f.prompts.questions.isEmpty()); // unreadable: dropped with a line
        QVERIFY(f.logged(u"Несохранённый текст сообщения повреждён и удалён"_s));
        QCOMPARE(f.count(u"SELECT count(*) FROM Drafts"_s), 0);

        f.newPost(u"Ответ"_s);
        f.editor()->keepDraft();
        QCOMPARE(f.count(u"SELECT count(*) FROM Drafts"_s), 1);
        f.prompts.answers = {false};
        restart(); // the editor went with its program, unclosed
        QCOMPARE(f.prompts.questions.size(), 1);
        QVERIFY(!f.editor());
        QCOMPARE(f.count(u"SELECT count(*) FROM Drafts"_s), 0);
    }

    void aFailingDraftStoreKeepsTheTextAndLogsOnce() {
        Fixture f;
        AddForm* editor = f.newPost(u"Не пропадёт"_s);
        f.sql(u"ALTER TABLE Drafts RENAME TO Away"_s);
        editor->keepDraft();
        editor->HeadText->setText(u"Ещё"_s);
        editor->keepDraft();
        QCOMPARE(f.ctx->log.failureCount(), 1);
        QVERIFY(f.ctx->log.currentText().contains(u"AddForm.KeepDraft: "_s));
        QCOMPARE(editor->txtSrcCode->toPlainText(), u"Не пропадёт"_s);
        f.sql(u"ALTER TABLE Away RENAME TO Drafts"_s);
        editor->Text_music->setText(u"Song"_s);
        editor->keepDraft();
        const auto kept = EditorState::fromText(Drafts(f.ctx->db).left()->state);
        QCOMPARE(kept->draft.header + u'|' + kept->draft.body, u"Ещё|Не пропадёт"_s);
        f.prompts.answers = {true}; // "Закрыть без сохранения?"
        QVERIFY(editor->close());
        QCOMPARE(f.count(u"SELECT count(*) FROM Drafts"_s), 0);
    }

    void aPrivateMessageNeedsItsAddressee() {
        Fixture f;
        AddForm* editor = f.newPost(u"Лично"_s);
        editor->Check1->setChecked(true);
        editor->ButSave_Click();
        QCOMPARE(f.prompts.messages.last().text, u"Укажите адресата"_s);
        QVERIFY(f.editor());
        editor->AdresatBox->setEditText(u"anna"_s);
        editor->ButSave_Click();
        QCOMPARE(f.rows(u"SELECT uName, Message, Sent, Out FROM PrivateMessages"_s),
                 QStringList{u"anna|Лично"_s + kSignature + u"|0|1"_s});
        const QString id = f.rows(u"SELECT ID FROM PrivateMessages"_s)[0];
        f.select(u"privkey-"_s + id);
        f.mainForm->mnu_EditPost_Click();
        QVERIFY(f.editor()->Check1->isChecked());
        QCOMPARE(f.editor()->AdresatBox->currentText(), u"anna"_s);
    }

    void aRefusedOrFailedSaveKeepsTheTextAndStoresNothing() {
        Fixture f;
        f.newPost(QString())->ButSave_Click();
        QCOMPARE(f.prompts.messages.last().text, u"Сообщение пустое"_s);
        QVERIFY(f.editor());
        f.editor()->close();

        f.sql(u"CREATE TRIGGER fail BEFORE UPDATE ON Posts BEGIN "
              u"SELECT RAISE(ABORT, 'диск полон'); END"_s);
        f.newPost(u"Не потеряется"_s)->ButSave_Click();
        QVERIFY(f.editor() && f.editor()->isVisible());
        QCOMPARE(f.editor()->bodyHtml(), u"Не потеряется"_s);
        QCOMPARE(f.count(u"SELECT count(*) FROM Posts WHERE Sent = 0"_s), 0); // no half row
        QVERIFY(f.ctx->log.currentText().contains(u"  AddFormButSave_Click: диск полон"_s));
    }

    void repliesQuoteOrNameTheAuthor() {
        Fixture f;
        f.select(u"friendpostkey-700-1"_s);
        f.mainForm->mnu_Comment_Click();
        QVERIFY(f.editor() && f.editor()->writesComment());
        QCOMPARE(f.editor()->txtSrcCode->toPlainText(),
                 u"[quote]<b>anna</b>:\na<b<br>c[/quote]\n"_s);
        QVERIFY(!f.editor()->HeadText->isEnabled());
        QVERIFY(f.editor()->windowTitle().endsWith(u"ответ на пост anna «Её пост»"_s));
        f.editor()->close();

        // Text selected in the view is quoted instead of the whole message.
        f.select(u"commkey-900-1"_s);
        f.browser()->setTextCursor(f.browser()->document()->find(u"Согл"_s));
        f.mainForm->mnu_Comment_Click();
        QCOMPARE(f.editor()->txtSrcCode->toPlainText(), u"[quote]<b>boris</b>:\nСогл[/quote]\n"_s);
        f.editor()->close();

        // A reply to a comment goes under the comment's post.
        f.ctx->options.comment_type = u"name"_s;
        f.select(u"commkey-900-1"_s);
        f.mainForm->mnu_Comment_Click();
        QCOMPARE(f.editor()->txtSrcCode->toPlainText(), u"<b>boris</b>,\n"_s);
        QVERIFY(
            f.editor()->windowTitle().endsWith(u"ответ на комментарий boris к посту «Её пост»"_s));
        f.editor()->Form_Activate();
        f.editor()->ButSave_Click();
        QCOMPARE(f.rows(u"SELECT PostID, Sent, uName FROM Comments WHERE CommentID LIKE 'tmp%'"_s),
                 QStringList{u"700|0|me"_s});

        // Nothing opens for a diary or for what is not on the service yet.
        f.newPost(u"x"_s)->ButSave_Click();
        const QString own = f.rows(u"SELECT ThisID FROM Posts WHERE Sent = 0"_s)[0];
        QVERIFY(f.reloadTree());
        for (const QString& node : {f.ownKey(own), u"key-anna"_s}) {
            f.select(node);
            f.mainForm->mnu_Comment_Click();
            QVERIFY2(!f.editor() || !f.editor()->isVisible(), qPrintable(node));
        }
    }

    void theReplySettingsWindowAsksFirstAndRemembers() {
        Fixture f;
        f.ctx->options.veiw_setcomm = false;
        CommForm form(*f.ctx, f.mainForm.get());
        QVERIFY(form.Option1->isChecked()); // "cit" by default
        form.Option2->setChecked(true);
        form.Check1->setChecked(true);
        form.Command1_Click();
        QCOMPARE(f.ctx->options.comment_type, u"name"_s);
        QVERIFY(f.ctx->options.veiw_setcomm);
        QCOMPARE(f.userStore.value(u"options/comment_type"_s).toString(), u"name"_s);
    }

    void formattingActsOnTheSelectionOnly() {
        Fixture f;
        AddForm* editor = f.newPost(QString());
        editor->TabStrip_Click(2);
        editor->BodyText->setPlainText(u"один два"_s);
        editor->butBold_Click(); // nothing selected: nothing changes
        QCOMPARE(editor->bodyHtml(), u"один два"_s);
        QTextCursor cursor = editor->BodyText->textCursor();
        cursor.setPosition(0);
        cursor.setPosition(4, QTextCursor::KeepAnchor);
        editor->BodyText->setTextCursor(cursor);
        editor->butBold_Click();
        editor->chooseColour = [](const QColor&) { return std::optional(QColor(Qt::red)); };
        editor->butShowColorDialog_Click();
        editor->chooseColour = [](const QColor&) { return std::optional<QColor>(); };
        editor->butShowColorDialog_Click(); // cancelled: unchanged
        cursor.setPosition(5);
        cursor.setPosition(8, QTextCursor::KeepAnchor);
        editor->BodyText->setTextCursor(cursor);
        f.prompts.typed = {u"http://kordenet.ru/?a=1&b=2"_s};
        editor->butURL_Click();
        QCOMPARE(editor->bodyHtml(), u"<font color='#FF0000'><b>один</b></font> <a "
                                     u"href='http://kordenet.ru/?a=1&b=2'>два</a>"_s);
    }

    void theSourceKeepsItsMarkupThroughTheResultView() {
        Fixture f;
        f.mainForm->mnu_NewPost_Click();
        AddForm* editor = f.editor();
        const QString source =
            u"<b>Ж</b> <i>к</i> <u>ч</u> <font face='Georgia' size='5' color='#00FF00'>цвет</font> "
            u"<a href='http://x.ru/'>ссылка</a><br>[quote]a &lt; b &amp; c[/quote]"_s;
        editor->txtSrcCode->setPlainText(source);
        editor->Form_Activate(); // the opening text shows formatted
        QCOMPARE(editor->currentTab(), 2);
        editor->TabStrip_Click(1);
        QCOMPARE(editor->txtSrcCode->toPlainText(), source);
    }

    void aSecondCommandAsksBeforeReplacingAChangedEditor() {
        Fixture f;
        f.mainForm->mnu_NewPost_Click();
        f.editor()->Form_Activate();
        QVERIFY(f.editor()->close()); // unchanged: no question
        QVERIFY(f.prompts.questions.isEmpty());

        QPointer<AddForm> first = f.newPost(u"Черновик"_s);
        f.prompts.answers = {false};
        f.mainForm->mnu_NewPost_Click(); // kept: the same editor, text and all
        QCOMPARE(f.prompts.questions.last().section(u'|', 1), u"Закрыть без сохранения?"_s);
        QCOMPARE(f.editor(), first.get());
        QCOMPARE(first->txtSrcCode->toPlainText(), u"Черновик"_s);
        f.prompts.answers = {true};
        f.mainForm->mnu_NewPost_Click();
        QTRY_VERIFY(!first);
        QVERIFY(f.editor()->isVisible());
    }

    void theCaptionsWindowGivesTheSaveItsCaptions() {
        Fixture f;
        f.mainForm->mnu_setMes_Click();
        auto* captions = f.mainForm->findChild<SetMesForm*>();
        captions->TextMusic->setText(u"Слушаю:"_s);
        captions->ComboMusic->setCurrentIndex(captions->ComboMusic->findText(u"Navy"_s));
        AddForm* editor = f.newPost(u"Текст"_s);
        editor->Text_music->setText(u"Song"_s);
        editor->ButSave_Click(); // the controls count before "Применить"
        QCOMPARE(f.rows(u"SELECT Message FROM Posts WHERE Sent = 0"_s),
                 QStringList{u"<div style='font-size: 8pt; color: Navy; font-style: italic;'>"
                             u"Слушаю: Song</div><br>Текст"_s +
                             kSignature});
        QCOMPARE(f.userStore.value(u"options/text_music"_s).toString(), QString());
        captions->Command1->click();
        QVERIFY(!captions->isVisible());
        QCOMPARE(f.ctx->options.text_music, u"Слушаю:"_s);
        QCOMPARE(f.userStore.value(u"options/text_music"_s).toString(), u"Слушаю:"_s);
    }

    void aClickedSmileyReachesTheBodyIntact() {
        Fixture f;
        AddForm* editor = f.newPost(u"Текст "_s);
        for (const QString& code : {u":'("_s, u"Ёжик"_s}) {
            emit editor->smileysRequested();
            QPointer<SmileForm> picker = editor->findChild<SmileForm*>();
            QVERIFY(picker && picker->isVisible());
            QVERIFY(!picker->SmileBrowser->openLinks());
            picker->SmileBrowser_BeforeNavigate2(u"http://"_s + code + u'/');
            QTRY_VERIFY(picker.isNull()); // closed, and so deleted
        }
        QCOMPARE(editor->txtSrcCode->toPlainText(), u"Текст :'(Ёжик"_s);
        QCOMPARE(f.ctx->log.failureCount(), 0);
    }

    void smileyLinks_data() {
        QTest::addColumn<QString>("written");
        QTest::addColumn<QString>("read");
        QTest::newRow("plain") << u":-)"_s << u":-)"_s;
        QTest::newRow("apostrophe") << u":&#39;("_s << u":'("_s;
        QTest::newRow("hexadecimal") << u"&#x41;&#X42;"_s << u"AB"_s;
        QTest::newRow("named") << u"&lt;&gt;&amp;&quot;&apos;"_s << u"<>&\"'"_s;
        QTest::newRow("outside the BMP") << u"&#128578;"_s << u"\U0001F642"_s;
        QTest::newRow("read once") << u"&amp;amp;"_s << u"&amp;"_s;
        QTest::newRow("unknown name") << u"&nbsp;x&foo;"_s << u"&nbsp;x&foo;"_s;
        QTest::newRow("not a character") << u"&#0;&#xD800;&#;"_s << u"&#0;&#xD800;&#;"_s;
    }
    void smileyLinks() {
        QFETCH(QString, written);
        QFETCH(QString, read);
        QCOMPARE(SmileyPage::attributeText(written), read);
    }

    void spelling_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("misspelt");
        QTest::newRow("words") << u"Превед, мир! Ошибко тут, helo world, don't."_s
                               << u"Превед|Ошибко|helo"_s;
        QTest::newRow("markup")
            << u"<b class='clas'>словоо</b> [url=http://x.ru/ппп]ссылкаа[/url]"_s
            << u"словоо|ссылкаа"_s;
        QTest::newRow("addresses")
            << u"vasya@mail.ru, www.сайтт.рф и http://пример.рф/ааа"_s << QString();
        QTest::newRow("codes and figures") << u"2-й раз :ржунимагу: СССР mp3 &nbsp;"_s << QString();
        QTest::newRow("ё and е") << u"еще ещё елка ёлка Черемушки Щелково"_s << QString();
        QTest::newRow("a word cut by a tag") << u"сло<b>во</b>"_s << u"сло"_s;
    }
    void spelling() {
        QFETCH(QString, text);
        QFETCH(QString, misspelt);
        SpellChecker checker(SpellChecker::systemFolders(), QString());
        QVERIFY2(checker.available(), qPrintable(checker.problem()));
        QStringList found;
        for (const SpellChecker::Span& word : checker.misspelt(text)) {
            found << text.mid(word.start, word.length);
        }
        QCOMPARE(found.join(u'|'), misspelt);
    }

    void misspeltWordsAreUnderlinedAndFixedFromTheMenu() {
        Fixture f;
        AddForm* editor = f.newPost(u"<i>Превед</i> медвед и карова"_s);
        QCOMPARE(underlined(editor->txtSrcCode->document()),
                 (QStringList{u"Превед"_s, u"медвед"_s, u"карова"_s}));
        editor->TabStrip_Click(2);
        QCOMPARE(underlined(editor->BodyText->document()).size(), 3);
        QVERIFY(!editor->bodyHtml().contains(u"underline"_s)); // the view's, not the text's

        const auto menuAt = [&](const QString& word) {
            QTextCursor at = editor->BodyText->document()->find(word);
            at.setPosition(at.anchor() + 1);
            const QPoint place = editor->BodyText->cursorRect(at).center();
            return std::unique_ptr<QMenu>(editor->contextMenu(editor->BodyText, place));
        };
        const auto entry = [](QMenu& menu, const QString& text) {
            for (QAction* action : menu.actions()) {
                if (action->text() == text) {
                    return action;
                }
            }
            return static_cast<QAction*>(nullptr);
        };
        auto menu = menuAt(u"карова"_s);
        QVERIFY(entry(*menu, u"корова"_s));
        // Seven replacements, a line, the two entries, a line, the view's own.
        QCOMPARE(menu->actions().indexOf(entry(*menu, u"Пропустить"_s)), 9);
        QVERIFY(menu->actions().size() > 11);
        entry(*menu, u"корова"_s)->trigger();
        QCOMPARE(editor->BodyText->toPlainText(), u"Превед медвед и корова"_s);
        QVERIFY(editor->bodyHtml().startsWith(u"<i>Превед</i>"_s));

        entry(*menuAt(u"медвед"_s), u"Пропустить"_s)->trigger();
        entry(*menuAt(u"Превед"_s), u"Добавить в словарь"_s)->trigger();
        QCOMPARE(underlined(editor->BodyText->document()), QStringList());
        QCOMPARE(f.dir.read(u"dictionary.txt"_s), "Превед\n");
        // The next run knows the personal word, not the skipped one.
        SpellChecker next(SpellChecker::systemFolders(), f.ctx->folder.dictionaryPath());
        QVERIFY(next.isCorrect(u"Превед"_s) && !next.isCorrect(u"медвед"_s));

        // A word the list cannot take is still accepted now, and said once.
        QFile::remove(f.dir.file(u"dictionary.txt"_s));
        QDir().mkpath(f.dir.file(u"dictionary.txt"_s));
        editor->BodyText->setPlainText(u"кракозябра"_s);
        entry(*menuAt(u"кракозябра"_s), u"Добавить в словарь"_s)->trigger();
        QCOMPARE(f.ctx->log.failureCount(), 1);
        QCOMPARE(underlined(editor->BodyText->document()), QStringList());
    }

    void spellingOptionsAndDictionaries() {
        Fixture f;
        CommForm form(*f.ctx, f.mainForm.get());
        QVERIFY(form.CheckSpelling->isChecked());
        form.CheckSpelling->setChecked(false);
        form.Command1_Click();
        QCOMPARE(f.userStore.value(u"options/spell_check"_s).toString(), u"0"_s);
        QCOMPARE(underlined(f.newPost(u"карова"_s)->txtSrcCode->document()), QStringList());

        SpellChecker none(QStringList{f.dir.path()}, f.ctx->folder.dictionaryPath());
        QVERIFY(!none.available() && none.isCorrect(u"карова"_s));
        QCOMPARE(none.problem(), u"Проверка орфографии выключена: не найден словарь ru_RU"_s);
        QDir().mkpath(f.dir.file(u"dictionary.txt"_s)); // unreadable: said, and checking goes on
        SpellChecker unreadable(SpellChecker::systemFolders(), f.ctx->folder.dictionaryPath());
        QVERIFY(unreadable.available() && !unreadable.isCorrect(u"карова"_s));
        QVERIFY(unreadable.problem().startsWith(u"Не могу прочитать личный словарь "_s));

        // A dictionary with only one of "е" and "ё" in a word takes both.
        SpellChecker either(QStringList{QStringLiteral(ORV_TEST_DATA_DIR "/spelling")}, QString());
        QVERIFY(either.isCorrect(u"ёлка"_s) && either.isCorrect(u"черемуха"_s));
        QVERIFY(!either.isCorrect(u"белка"_s));
    }

    void theUserNameWindowPastesAChosenName() {
        Fixture f;
        AddForm* editor = f.newPost(QString());
        AddUserForm names(*f.ctx, editor);
        QCOMPARE(names.cmbUserList->count(), 2); // anna once, boris
        QTest::mouseClick(names.optSelect[0], Qt::LeftButton);
        QVERIFY(names.txtUserList->isEnabled() && !names.cmbUserList->isEnabled());
        names.txtUserList->setText(u"   "_s);
        QVERIFY(!names.butOK->isEnabled()); // a tag without a name would be "[user=]"
        names.txtUserList->setText(u" lisa "_s);
        names.butOK->click();
        QCOMPARE(names.result(), int(QDialog::Accepted));
        editor->pasteUserTag(names.chosenName());
        QVERIFY(editor->bodyHtml().contains(u"[user=lisa]"_s));
    }
};

QTEST_MAIN(EditorTest)
#include "tst_editor.moc"
