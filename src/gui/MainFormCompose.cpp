// The main window's commands that open the message editor.
#include "AddForm.h"
#include "AddUserForm.h"
#include "AppContext.h"
#include "CommForm.h"
#include "MainForm.h"
#include "MessageView.h"
#include "SetMesForm.h"
#include "SmileForm.h"
#include "TreePane.h"
#include "app/Constants.h"
#include "app/ErrorTrap.h"
#include "app/UserPrompts.h"
#include "composer/NowPlaying.h"
#include "composer/SpellChecker.h"
#include "store/AddressBook.h"
#include "store/Drafts.h"
#include "store/SmileStore.h"
#include "store/StoredDate.h"
#include "tree/NodeKey.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

using namespace Qt::StringLiterals;

namespace orv {

AddForm* MainForm::freshEditor() {
    // A second command does not write over a message being written: the open
    // editor is closed first, after asking when it holds changes.
    if (m_addForm && !m_addForm->close()) {
        m_addForm->raise();
        m_addForm->activateWindow();
        return nullptr;
    }
    m_addForm = new AddForm(m_ctx, this);
    m_addForm->nowPlaying = [this] { return nowPlaying(); };
    m_addForm->captions = [this] { return captions(); };
    connect(m_addForm, &AddForm::saved, this, &MainForm::ReLoadTree);
    connectInsertHelpers(m_addForm);
    m_addForm->checkSpelling(speller());
    return m_addForm;
}

void MainForm::showEditor(AddForm* editor, Opened opened) {
    if (opened == Opened::Fresh) {
        editor->markPristine();
    }
    editor->show();
    editor->raise();
    editor->activateWindow();
}

void MainForm::mnu_NewPost_Click() {
    runTrapped(m_ctx.log, u"MainForm.mnu_NewPost_Click: "_s, [&] {
        const QStringList friends = AddressBook(m_ctx.db).nicks(AddressBook::Buddy);
        AddForm* editor = freshEditor();
        if (!editor) {
            return;
        }
        editor->AdresatBox->clear();
        editor->AdresatBox->addItems(friends);
        editor->AdresatBox->setCurrentIndex(-1);
        editor->writeNewPost();
        editor->AdresatBox->setEnabled(false);
        editor->ChBox_ParseURL->setChecked(true);
        editor->ChBox_Subscribe->setChecked(true);
        showEditor(editor);
    });
}

void MainForm::mnu_EditPost_Click() {
    runTrapped(m_ctx.log, u"MainForm.mnu_EditPost_Click: "_s, [&] {
        const QString key = m_treePane->selectedKey();
        Outbox outbox(m_ctx.db);
        const auto details =
            Composer::DefineEditPostDetails(outbox, m_ctx.settings, m_ctx.log, key);
        if (!details) {
            return; // not a message of one's own that waits to be sent
        }
        AddForm* editor = freshEditor();
        if (!editor) {
            return;
        }
        editor->editMessage(key);
        editor->ChBox_Closed->setChecked(details->privatePost);
        editor->ChBox_NoComment->setChecked(details->noComment);
        editor->ChBox_ParseURL->setChecked(details->parseUrl);
        editor->ChBox_Subscribe->setChecked(details->subscribe);
        editor->HeadText->setText(details->header);
        // The caption lines and the signature go on again at the save.
        editor->takeStoredBody(details->message);
        editor->LabParentPostID->setText(details->postId);
        const QString addressee =
            details->userName == m_ctx.settings.UserName ? QString() : details->userName;
        editor->AdresatBox->setEditText(addressee);
        editor->Check1->setChecked(!addressee.isEmpty());
        editor->AdresatBox->setEnabled(editor->Check1->isChecked());
        showEditor(editor);
    });
}

void MainForm::mnu_Comment_Click() {
    runTrapped(m_ctx.log, u"MainForm.mnu_Comment_Click: "_s, [&] {
        const QString key = m_treePane->selectedKey();
        if (!m_ctx.options.veiw_setcomm) {
            CommForm(m_ctx, this).exec();
        }
        Outbox outbox(m_ctx.db);
        const auto repliedTo = Composer::DefineEditCommentDetails(outbox, m_ctx.log, key);
        if (!repliedTo) {
            return; // only a sent post or comment can be answered
        }
        AddForm* editor = freshEditor();
        if (!editor) {
            return;
        }
        editor->writeComment();
        editor->AdresatBox->setEnabled(false);
        editor->ChBox_ParseURL->setChecked(true);
        editor->ChBox_Subscribe->setChecked(true);
        editor->HeadText->setEnabled(false); // a comment's title is not edited
        editor->txtSrcCode->setPlainText(Composer::replyText(m_ctx.options.comment_type, *repliedTo,
                                                             Browser->textCursor().selectedText()));
        editor->LabParentPostID->setText(repliedTo->postId);
        const bool toComment = NodeKey(key).kind() == NodeKey::Comment;
        editor->setAnswered(Composer::answeredCaption(toComment, repliedTo->userName,
                                                      m_treePane->selectedPostCaption()));
        showEditor(editor);
    });
}

void MainForm::offerLeftDraft() {
    if (m_draftOffered || !isVisible()) {
        return;
    }
    m_draftOffered = true;
    runTrapped(m_ctx.log, u"MainForm.offerLeftDraft: "_s, [&] {
        Drafts drafts(m_ctx.db);
        const auto left = drafts.left();
        if (!left) {
            return;
        }
        const auto state = EditorState::fromText(left->state);
        if (!state) {
            drafts.discard();
            m_ctx.log.LogStatus(u"Несохранённый текст сообщения повреждён и удалён"_s);
            return;
        }
        const QString question = u"Найден несохранённый текст сообщения от "_s +
                                 StoredDate::toRussianText(left->saved) + u". Открыть его?"_s;
        if (!m_ctx.prompts.askYesNo(VersionTag, question)) {
            drafts.discard();
            return;
        }
        AddForm* editor = freshEditor();
        if (!editor) {
            return;
        }
        editor->AdresatBox->addItems(AddressBook(m_ctx.db).nicks(AddressBook::Buddy));
        editor->restore(*state);
        showEditor(editor, Opened::Unsaved); // closing it asks first
    });
}

void MainForm::mnu_setcom_Click() {
    auto* form = new CommForm(m_ctx, this);
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->show();
}

void MainForm::mnu_setMes_Click() {
    if (!m_setMesForm) {
        m_setMesForm = new SetMesForm(m_ctx, this);
    }
    m_setMesForm->show();
    m_setMesForm->raise();
    m_setMesForm->activateWindow();
}

Options MainForm::captions() const {
    // The captions window's controls count as they stand, applied or not.
    return m_setMesForm ? m_setMesForm->captions() : m_ctx.options;
}

std::shared_ptr<SpellChecker> MainForm::speller() {
    if (!m_ctx.options.spell_check) {
        return nullptr;
    }
    if (!m_spellerTried) {
        m_spellerTried = true;
        auto checker = std::make_shared<SpellChecker>(SpellChecker::systemFolders(),
                                                      m_ctx.folder.dictionaryPath());
        if (!checker->problem().isEmpty()) {
            m_ctx.log.LogStatus(checker->problem());
        }
        if (checker->available()) {
            runTrapped(m_ctx.log, u"MainForm.speller: "_s, [&] {
                for (const Smiley& smiley : SmileStore(m_ctx.db).all()) {
                    checker->ignore(smiley.code); // a smiley code is no word
                }
            });
            m_speller = std::move(checker);
        }
    }
    return m_speller;
}

QString MainForm::nowPlaying() {
    return NowPlaying::get_WinAMP(m_ctx.log);
}

void MainForm::connectInsertHelpers(AddForm* editor) {
    connect(editor, &AddForm::smileysRequested, editor, [this, editor] {
        auto* picker = new SmileForm(m_ctx, editor);
        picker->setAttribute(Qt::WA_DeleteOnClose);
        connect(picker, &SmileForm::smileyChosen, editor, &AddForm::appendToBody);
        picker->showCatalogue();
    });
    connect(editor, &AddForm::userNameRequested, editor, [this, editor] {
        AddUserForm names(m_ctx, editor);
        if (names.exec() == QDialog::Accepted) {
            editor->pasteUserTag(names.chosenName());
        }
    });
}

AddForm* MainForm::editor() const {
    return m_addForm;
}

} // namespace orv
