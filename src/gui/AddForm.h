#pragma once

#include "composer/Composer.h"
#include "composer/EditorState.h"

#include <QPointer>
#include <QTextCursor>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

class QCheckBox;
class QColor;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;
class QTabBar;
class QTextEdit;
class QTimer;
class QToolButton;

namespace orv {

struct AppContext;
class SpellChecker;
class SpellHighlighter;

// The message editor: a post, comment or private message written offline.
// One HTML body has two views, the source ("Исходный текст") and the result
// ("Результат"); "Сохранить" writes the message into the outbox. Until the
// user first opens the source tab the views are not copied into each other
// on leaving them (the hold flag), so an opening command's text reaches the
// result view intact when the window is first activated.
//
// While it is open, its whole state is kept in the store's drafts table at
// most five seconds after a change and whenever it loses the focus, so that a
// crash loses nothing typed before; a save or a close drops the draft.
class AddForm : public QWidget {
    Q_OBJECT

public:
    AddForm(AppContext& ctx, QWidget* mainWindow);
    ~AddForm() override;

    // The player's current title, for the music box: asked at the first
    // activation when the box is empty, and by its "обновить" button.
    std::function<QString()> nowPlaying;
    // The caption settings a save uses: those of the captions window as they
    // stand; the stored options when unset.
    std::function<Options()> captions;
    // Picks a text colour starting from the given one; nothing when cancelled.
    std::function<std::optional<QColor>(const QColor&)> chooseColour;

    void Form_Activate();
    // Puts the player's title into the music box; a player with no title
    // leaves the box as it is.
    void takePlayerTitle();
    void TabStrip_Click(int tab); // 1: source, 2: result
    int currentTab() const { return m_currentTab; }
    bool holdFlag() const { return m_hold; }

    // The editor's selection as mRange; true when it holds text.
    bool IsRangeSelected();
    void butBold_Click();
    void butItalic_Click();
    void butUnderline_Click();
    void butURL_Click();
    void butShowColorDialog_Click();
    void cmbFont_Click();
    void cmbFontSize_Click();
    void butInsertUser_Click();
    void Command1_Click(); // the smiley picker
    void ButSave_Click();

    // The body as the save reads it: the result view's HTML.
    QString bodyHtml() const;
    // Adds a smiley code at the end of the text; pastes a user-name tag over
    // the selection (or at the caret).
    void appendToBody(const QString& text);
    void pasteUserTag(const QString& name);
    // What is in the fields now counts as unchanged, for the question on closing.
    void markPristine();

    // What "Сохранить" writes: a new post (or private message), a comment
    // on LabParentPostID's post, or again the unsent message of the node
    // edited. A new post until told otherwise.
    void writeNewPost();
    void writeComment();
    void editMessage(const QString& nodeKey);
    // Shows a stored body: its caption lines go back into the mood and music
    // boxes, the signature goes, and the save puts each line where it was.
    void takeStoredBody(const QString& body);
    // Underlines misspelt words in both views, by this checker; none: no check.
    void checkSpelling(std::shared_ptr<SpellChecker> checker);
    // The context menu of a view at a place in its viewport: the view's own,
    // under the spelling entries when the place holds a misspelt word.
    QMenu* contextMenu(QWidget* view, const QPoint& place);

    // Names the message a reply answers in the window's caption.
    void setAnswered(const QString& description);

    // The editor's state as a draft keeps it, and the editor set to one.
    EditorState state() const;
    void restore(const EditorState& state);
    // Writes the state into the drafts table when it changed since the last
    // write; a failure is logged once and the editor keeps its text.
    void keepDraft();

    bool writesComment() const { return m_comment; }
    const std::optional<QString>& editedKey() const { return m_editedKey; }

    QLineEdit* HeadText;
    QComboBox* AdresatBox;
    QCheckBox* Check1;
    QCheckBox* ChBox_ParseURL;
    QCheckBox* ChBox_NoComment;
    QCheckBox* ChBox_Closed;
    QCheckBox* ChBox_Subscribe;
    QLineEdit* Text_nast;
    QLineEdit* Text_music;
    QToolButton* butMusic;
    QLabel* LabParentPostID;
    QTabBar* TabStrip;
    QTextEdit* BodyText;
    QPlainTextEdit* txtSrcCode;
    QToolButton* butBold;
    QToolButton* butItalic;
    QToolButton* butUnderline;
    QToolButton* butURL;
    QToolButton* butShowColorDialog;
    QComboBox* cmbFont;
    QComboBox* cmbFontSize;
    QToolButton* butInsertUser;
    QPushButton* Command1;
    QPushButton* ButSave;
    QPushButton* ButExit;

    QTextCursor mRange;

signals:
    // A message was written into the outbox: the tree shows it now.
    void saved();
    // The editor asks for the smiley picker and the user-name window.
    void smileysRequested();
    void userNameRequested();

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildWidgets();
    QWidget* buildFormattingRow();
    void buildShortcuts();
    void Form_Load();
    void setFormattingEnabled(bool enabled);
    void applyToRange(const QTextCharFormat& format);
    void setResultHtml(const QString& html);
    Draft draft() const;
    // Why the draft cannot be saved; empty when it can.
    QString refusal() const;
    bool changedSinceOpened() const;
    void watchForChanges();
    void noteChange();
    void discardDraft();
    QString windowCaption() const;
    // The text as typed, from the view the user writes in.
    QString typedBody() const;

    AppContext& m_ctx;
    bool m_hold = true;
    bool m_playerAsked = false;   // once an opening: later activations keep the box
    Composer::SplitBody m_stored; // the caption lines found in the body edited
    int m_currentTab = 1;
    bool m_copying = false; // the views are being copied into each other
    bool m_saved = false;
    bool m_comment = false;
    std::optional<QString> m_editedKey; // the node whose unsent message is edited
    QString m_pristine;
    QString m_answered; // the caption's description of the message answered
    QPointer<SpellHighlighter> m_sourceSpelling;
    QPointer<SpellHighlighter> m_resultSpelling;
    QTimer* m_draftTimer = nullptr;
    bool m_draftDirty = false;
    bool m_draftFailing = false; // logged once until a write succeeds again
};

} // namespace orv
