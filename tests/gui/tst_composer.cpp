#include "AddForm.h"
#include "CommForm.h"
#include "GuiFixture.h"
#include "StoreCheck.h"
#include "TreeModel.h"
#include "app/Constants.h"
#include "store/Outbox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSqlRecord>
#include <QTextEdit>
#include <QTreeView>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace orv;

namespace {

struct Fixture : test::GuiFixture {
    Fixture() {
        configure(u"me"_s);
        start();
        ctx->options.veiw_setcomm = true; // replies open the editor directly
    }

    QStringList rows(const QString& sql) { return test::rows(ctx->db, sql); }
    // In the tree shown once the last rebuild asked for has arrived.
    void select(const QString& key) {
        QVERIFY(waitForTree());
        mainForm->tree()->setCurrentIndex(mainForm->treeModel()->indexOfKey(key));
    }
    AddForm* editor() { return mainForm->editor(); }
    // Types the body into the source view, as the user would.
    void writeSource(const QString& html) {
        editor()->TabStrip_Click(1);
        editor()->txtSrcCode->setPlainText(html);
    }
    // A post of someone else that is on the service, and one comment on it.
    void storeReceived() {
        ctx->db.execute(u"INSERT INTO Posts (PostID, JournalID, uName, Header, Message, "
                        u"Messagedate, Sent) VALUES ('700', '9', 'anna', 'Её пост', "
                        u"'a&lt;b' || char(10) || 'c', '2006-03-05 10:00:00', 1)"_s);
        ctx->db.execute(u"INSERT INTO Comments (CommentID, PostID, JournalID, uName, Message, "
                        u"Messagedate, Sent) VALUES ('900', '700', '9', 'boris', 'Согласен', "
                        u"'2006-03-05 11:00:00', 1)"_s);
        QVERIFY(reloadTree());
    }
};

const QString kSignature = PostSignature;

} // namespace

class ComposerTest : public QObject {
    Q_OBJECT

private slots:
    void aNewPostIsAnOutboxRow() {
        Fixture f;
        f.ctx->settings.TimeOffset = u"3"_s;
        f.mainForm->mnu_NewPost_Click();
        AddForm* editor = f.editor();
        QVERIFY(editor && editor->isVisible());
        QVERIFY(editor->ChBox_ParseURL->isChecked() && editor->ChBox_Subscribe->isChecked());
        QVERIFY(!editor->AdresatBox->isEnabled());
        editor->ChBox_Closed->setChecked(true);
        f.writeSource(u"<b>Привет</b>, мир"_s);
        const QDateTime before = QDateTime::currentDateTime().addSecs(-3 * 3600 - 1);
        editor->ButSave_Click(); // with the source tab showing
        QTRY_VERIFY(!f.editor());

        const QStringList stored = f.rows(
            u"SELECT ThisID, Message, Header, uName, New, Deleted, Sent, out_ParseURL, "
            u"out_Nocomment, out_Privatepost, out_Subscribe, PostID, JournalID FROM Posts"_s);
        QCOMPARE(stored.size(), 1);
        const QString key = stored[0].section(u'|', 0, 0);
        QCOMPARE(stored[0], key + u"|<b>Привет</b>, мир"_s + kSignature +
                                u"| |me|0|0|0|1|0|1|1|tmp"_s + key + u'|');
        const QDateTime date = QDateTime::fromString(f.rows(u"SELECT Messagedate FROM Posts"_s)[0],
                                                     u"yyyy-MM-dd HH:mm:ss"_s);
        QVERIFY(date >= before && date <= before.addSecs(60)); // three hours back
        // The tree shows it as unsent, under its temporary identifier.
        QVERIFY(f.waitForTree());
        QVERIFY(f.mainForm->treeModel()
                    ->indexOfKey(u"friendpostkey-tmp"_s + key + u'-' + key)
                    .isValid());
    }

    void theTemporaryIdentifierFollowsTheLocalKey() {
        Fixture f;
        f.ctx->db.execute(u"INSERT INTO sqlite_sequence (name, seq) VALUES ('Posts', 56)"_s);
        f.mainForm->mnu_NewPost_Click();
        f.writeSource(u"x"_s);
        f.editor()->ButSave_Click();
        QCOMPARE(f.rows(u"SELECT ThisID, PostID FROM Posts"_s), QStringList{u"57|tmp57"_s});
    }

    void captionLinesAndSignature() {
        Fixture f;
        f.mainForm->mnu_NewPost_Click();
        f.editor()->nowPlaying = [] { return u"Song"_s; };
        f.editor()->Form_Activate();
        QCOMPARE(f.editor()->Text_music->text(), u"Song"_s);
        f.writeSource(u"Текст"_s);
        f.editor()->ButSave_Click();
        QCOMPARE(f.rows(u"SELECT Message FROM Posts"_s),
                 QStringList{u"<div style='font-size: 8pt; color: Red; font-style: italic;'>В "
                             u"колонках: Song</div><br>Текст"_s +
                             kSignature});

        Options below;
        below.OptMusUp = false;
        below.OptMusDown = true;
        Draft draft;
        draft.body = u"Т"_s;
        QCOMPARE(Composer::composeBody(draft, below), u"Т"_s + kSignature); // no "<br>" alone
        draft.mood = u"весело"_s;
        below.text_nastroy = u"Настроение:"_s;
        QCOMPARE(Composer::composeBody(draft, below),
                 u"<div style='font-size: 8pt; color: Red; font-style: italic;'>Настроение: "
                 u"весело</div><br>Т"_s +
                     kSignature);
    }

    void editingAnUnsentPostAndItsTitle() {
        Fixture f;
        f.mainForm->mnu_NewPost_Click();
        f.writeSource(u"Тело"_s);
        f.editor()->ButSave_Click();
        const QString key = f.rows(u"SELECT ThisID FROM Posts"_s)[0];
        f.select(u"friendpostkey-tmp"_s + key + u'-' + key);
        f.mainForm->mnu_EditPost_Click();
        AddForm* editor = f.editor();
        QVERIFY(editor);
        QCOMPARE(editor->editedKey(), std::optional(u"friendpostkey-tmp"_s + key + u'-' + key));
        QCOMPARE(editor->txtSrcCode->toPlainText(), u"Тело"_s); // without the signature
        QCOMPARE(editor->HeadText->text(), u" "_s);
        QVERIFY(!editor->Check1->isChecked());
        editor->Form_Activate();
        editor->HeadText->clear();
        editor->ButSave_Click();
        QCOMPARE(f.rows(u"SELECT Header, Message, Sent FROM Posts"_s),
                 QStringList{u"|Тело"_s + kSignature + u"|0"_s}); // the signature once
    }

    void onlyOnesOwnUnsentMessagesAreEdited() {
        Fixture f;
        f.storeReceived();
        OutgoingMessage foreign;
        foreign.header = u"Чужой"_s;
        foreign.userName = u"anna"_s;
        const qint64 key = Outbox(f.ctx->db).addPost(foreign);
        QVERIFY(f.reloadTree());
        for (const QString& node :
             QStringList{u"friendpostkey-700-1"_s, u"friendpostkey-tmp"_s + QString::number(key) +
                                                       u'-' + QString::number(key)}) {
            f.select(node);
            f.mainForm->mnu_EditPost_Click();
            QVERIFY2(!f.editor(), qPrintable(node));
        }
    }

    void privateMessages() {
        Fixture f;
        f.mainForm->mnu_NewPost_Click();
        AddForm* editor = f.editor();
        editor->Check1->setChecked(true);
        QVERIFY(editor->AdresatBox->isEnabled());
        f.writeSource(u"Лично"_s);
        editor->ButSave_Click();
        QCOMPARE(f.prompts.messages.last().text, u"Укажите адресата"_s);
        QVERIFY(f.editor()); // still open, with its text
        editor->AdresatBox->setEditText(u"anna"_s);
        editor->ButSave_Click();
        QCOMPARE(f.rows(u"SELECT uName, Message, New, Deleted, Sent, Out FROM PrivateMessages"_s),
                 QStringList{u"anna|Лично"_s + kSignature + u"|0|0|0|1"_s});
        QVERIFY(f.rows(u"SELECT * FROM Posts"_s).isEmpty());

        // Edited: the addressee shows, and the new text replaces the old.
        const QString id = f.rows(u"SELECT ID FROM PrivateMessages"_s)[0];
        f.select(u"privkey-"_s + id);
        f.mainForm->mnu_EditPost_Click();
        QVERIFY(f.editor()->Check1->isChecked());
        QCOMPARE(f.editor()->AdresatBox->currentText(), u"anna"_s);
        f.writeSource(u"Иначе"_s);
        f.editor()->ButSave_Click();
        QCOMPARE(f.rows(u"SELECT Message, Out FROM PrivateMessages"_s),
                 QStringList{u"Иначе"_s + kSignature + u"|1"_s});
    }

    void anEmptyMessageIsRefused() {
        Fixture f;
        f.mainForm->mnu_NewPost_Click();
        f.editor()->ButSave_Click();
        QCOMPARE(f.prompts.messages.last().text, u"Сообщение пустое"_s);
        QVERIFY(f.editor());
        QVERIFY(f.rows(u"SELECT * FROM Posts"_s).isEmpty());
    }

    void aFailedSaveKeepsTheTextAndStoresNothing() {
        Fixture f;
        f.ctx->db.execute(u"CREATE TRIGGER fail BEFORE UPDATE ON Posts BEGIN "
                          u"SELECT RAISE(ABORT, 'диск полон'); END"_s);
        f.mainForm->mnu_NewPost_Click();
        f.writeSource(u"Не потеряется"_s);
        f.editor()->ButSave_Click();
        QVERIFY(f.editor());
        QCOMPARE(f.editor()->bodyHtml(), u"Не потеряется"_s);
        QVERIFY(f.rows(u"SELECT * FROM Posts"_s).isEmpty()); // no half-written row
        QVERIFY2(f.ctx->log.currentText().contains(u"  AddFormButSave_Click: диск полон"_s),
                 qPrintable(f.ctx->log.currentText()));
    }

    void repliesQuoteOrNameTheAuthor() {
        Fixture f;
        f.storeReceived();
        f.select(u"friendpostkey-700-1"_s);
        f.mainForm->mnu_Comment_Click();
        AddForm* editor = f.editor();
        QVERIFY(editor);
        EditDetails anna;
        anna.userName = u"anna"_s;
        anna.message = u"a&lt;b\nc"_s;
        QCOMPARE(Composer::replyText(u"cit"_s, anna),
                 u"[quote]<b>anna</b>:\r\na<b<br>c[/quote]\r\n"_s);
        QCOMPARE(Composer::replyText(u"name"_s, anna), u"<b>anna</b>,\r\n"_s);
        QCOMPARE(Composer::replyText(u"no"_s, anna), QString());
        // The source box keeps lines with LF alone.
        QCOMPARE(editor->txtSrcCode->toPlainText(), u"[quote]<b>anna</b>:\na<b<br>c[/quote]\n"_s);
        QVERIFY(editor->writesComment() && !editor->editedKey());
        QVERIFY(!editor->HeadText->isEnabled());
        editor->close();

        // A reply to a comment goes under the comment's post.
        f.ctx->options.comment_type = u"name"_s;
        f.select(u"commkey-900-1"_s);
        f.mainForm->mnu_Comment_Click();
        QCOMPARE(f.editor()->txtSrcCode->toPlainText(), u"<b>boris</b>,\n"_s);
        f.editor()->Form_Activate();
        f.editor()->ButSave_Click();
        QCOMPARE(f.rows(u"SELECT PostID, Sent, uName FROM Comments WHERE CommentID LIKE 'tmp%'"_s),
                 QStringList{u"700|0|me"_s});
    }

    void nothingOpensForWhatCannotBeAnswered() {
        Fixture f;
        f.storeReceived();
        OutgoingMessage own;
        own.header = u"Мой"_s;
        own.userName = u"me"_s;
        const qint64 key = Outbox(f.ctx->db).addPost(own);
        own.kind = MessageRef::Kind::Private;
        own.userName = u"anna"_s;
        const qint64 message = Outbox(f.ctx->db).addPrivate(own);
        QVERIFY(f.reloadTree());
        for (const QString& node : QStringList{
                 u"friendpostkey-tmp"_s + QString::number(key) + u'-' + QString::number(key),
                 u"privkey-"_s + QString::number(message), u"key-anna"_s}) {
            f.select(node);
            f.mainForm->mnu_Comment_Click();
            QVERIFY2(!f.editor(), qPrintable(node));
        }
    }

    void theReplyWindowAsksAndRemembers() {
        Fixture f;
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
        f.mainForm->mnu_NewPost_Click();
        AddForm* editor = f.editor();
        editor->Form_Activate();
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
        QCOMPARE(editor->bodyHtml(), u"<font color='#FF0000'><b>один</b></font> два"_s);

        editor->chooseColour = [](const QColor&) { return std::optional<QColor>(); };
        editor->butShowColorDialog_Click(); // cancelled: unchanged
        QCOMPARE(editor->bodyHtml(), u"<font color='#FF0000'><b>один</b></font> два"_s);

        cursor.setPosition(5);
        cursor.setPosition(8, QTextCursor::KeepAnchor);
        editor->BodyText->setTextCursor(cursor);
        f.prompts.typed = {u"http://kordenet.ru/?a=1&b=2"_s};
        editor->butURL_Click();
        QCOMPARE(f.prompts.questions.last(), u"Добавление ссылки|Введите полный адрес ссылки"_s);
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
        QVERIFY(!editor->holdFlag());
        editor->txtSrcCode->setPlainText(u"изменено"_s);
        editor->TabStrip_Click(1); // the same tab again: nothing is copied
        QCOMPARE(editor->txtSrcCode->toPlainText(), u"изменено"_s);
    }

    void closingAChangedEditorAsks() {
        Fixture f;
        f.mainForm->mnu_NewPost_Click();
        f.editor()->Form_Activate();
        QVERIFY(f.editor()->close()); // unchanged: no question
        QVERIFY(f.prompts.questions.isEmpty());

        f.mainForm->mnu_NewPost_Click();
        f.editor()->Form_Activate();
        f.editor()->HeadText->setText(u"Черновик"_s);
        f.prompts.answers = {false};
        QVERIFY(!f.editor()->close());
        QCOMPARE(f.prompts.questions.last().section(u'|', 1), u"Закрыть без сохранения?"_s);
        f.prompts.answers = {true};
        QVERIFY(f.editor()->close());
    }
};

QTEST_MAIN(ComposerTest)
#include "tst_composer.moc"
