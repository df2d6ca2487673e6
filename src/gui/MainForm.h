#pragma once

#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <memory>

class QAction;
class QComboBox;
class QMenu;
class QSplitter;
class QToolBar;

namespace orv {

struct AppContext;
struct Options;
class AccountForm;
class AddForm;
class ExchangeController;
class ExitSequence;
class MessageView;
class RelForm;
class Renderer;
class SetMesForm;
class SettingsForm;
class SpellChecker;
class StoreCopyCommands;
class DiaryExportCommand;
class TrayForm;
class TreePane;

// The main window: the tree pane on the left, the view on the right, the
// status list at the bottom. It lives for the whole run; closing it hides it.
// It wires the parts that own the commands (the tree pane, the exchanges, the
// exit) into its menus and toolbar, and owns the editor and settings windows.
class MainForm : public QMainWindow {
    Q_OBJECT

public:
    MainForm(AppContext& ctx, TrayForm& tray, QWidget* parent = nullptr);
    ~MainForm() override;

    // The start-up steps, in order. A failing step abandons the rest and is
    // logged as "MainForm.Load: "; the window stays usable.
    void Form_Load();
    // Form_Load leaves the window hidden, with the notification-area icon
    // only, when asked here or by the options and the desktop has a
    // notification area.
    void setStartHidden(bool hidden) { m_startHidden = hidden; }
    // Shows the window in front of the others, also from the notification
    // area or from a minimized state.
    void bringForward();
    // The main window shown on the first new item (a notification's click).
    void showFirstNew();

    // The tree rebuilt from the store (the tree pane's).
    void ReLoadTree();
    void DeleteOldRecords();

    // Writing offline: the editor for a new message, for an unsent one of
    // one's own, or for a reply; the reply and caption settings.
    void mnu_NewPost_Click();
    void mnu_EditPost_Click();
    void mnu_Comment_Click();
    void mnu_setcom_Click();
    void mnu_setMes_Click();
    // Offers, once, the editor's draft that a previous run left behind: Yes
    // opens the editor as it was, No deletes the draft. Waits while the window
    // is hidden.
    void offerLeftDraft();
    void mnu_Friends_Click();
    // The account window; it writes the account's rows of the settings list.
    void mnu_Account_Click();
    void mnu_Setting_Click();
    void mnu_About_Click();

    // The window's size, place, splitter and tree width, kept between starts.
    void saveWindowState();
    void restoreWindowState();
    // The node selected when the program last ended, selected again.
    void selectLastNode();

    TreePane& treePane() const { return *m_treePane; }
    ExchangeController& exchanges() const { return *m_exchanges; }
    ExitSequence& exitSequence() const { return *m_exit; }
    StoreCopyCommands& storeCopies() const { return *m_storeCopies; }
    DiaryExportCommand& diaryExport() const { return *m_diaryExport; }
    MessageView* browser() const { return Browser; }
    QComboBox* statusList() const { return Status; }
    // The status list keeps the latest lines only; log.txt keeps them all.
    static constexpr int MaxStatusLines = 1000;
    SettingsForm* settingsForm() const;
    AddForm* editor() const;
    RelForm* relForm() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildWidgets();
    void buildCommands();
    void buildZoomCommands();
    void buildMenus();
    void buildToolbar();
    void orderFocus();
    void fitToScreen();
    void showStatusLine(const QString& line);
    void loadTreeIcons();
    void setMainCaption();
    // The editor for a new command, or nothing when the user keeps the one open.
    AddForm* freshEditor();
    // A fresh editor closes without a question while unchanged; one holding
    // unsaved text asks first.
    enum class Opened { Fresh, Unsaved };
    void showEditor(AddForm* editor, Opened opened = Opened::Fresh);
    void connectInsertHelpers(AddForm* editor);
    QString nowPlaying();
    Options captions() const;
    // The checker the editor underlines with, loaded at the first need and
    // kept; none when the option is off or no dictionary can be had (said once
    // in the status list).
    std::shared_ptr<SpellChecker> speller();
    bool startsHidden() const;

    AppContext& m_ctx;
    TrayForm& m_tray;
    std::unique_ptr<Renderer> m_renderer; // keeps the smiley catalogue between clicks
    MessageView* Browser;
    TreePane* m_treePane;
    ExchangeController* m_exchanges;
    ExitSequence* m_exit;
    StoreCopyCommands* m_storeCopies;
    DiaryExportCommand* m_diaryExport;
    QComboBox* Status;
    QSplitter* m_splitter;
    QToolBar* Toolbar;
    // The editor commands of the tree's context menu, and their menu-bar twins.
    QAction* mnu_NewPost = nullptr;
    QAction* mnu_EditPost = nullptr;
    QAction* mnu_Comment = nullptr;
    QAction* mnu_NewPost2 = nullptr;
    QAction* mnu_Comment2 = nullptr;
    QAction* mnu_EditPost2 = nullptr;
    // The settings windows and the help.
    QAction* mnu_Setting = nullptr;
    QAction* mnu_Account = nullptr;
    QAction* mnu_setMes = nullptr;
    QAction* mnu_setcom = nullptr;
    QAction* mnu_Friends = nullptr;
    QAction* mnu_About = nullptr;
    // The view's zoom.
    QAction* mnu_ZoomIn = nullptr;
    QAction* mnu_ZoomOut = nullptr;
    QAction* mnu_ZoomReset = nullptr;
    QList<QIcon> ImgList;
    QPointer<SettingsForm> m_settingsForm;
    QPointer<AccountForm> m_accountForm;
    QPointer<RelForm> m_relForm;
    QPointer<AddForm> m_addForm;
    QPointer<SetMesForm> m_setMesForm; // its controls give the captions of a save
    bool m_startHidden = false;
    bool m_draftOffered = false;
    std::shared_ptr<SpellChecker> m_speller;
    bool m_spellerTried = false;
};

} // namespace orv
