#pragma once

#include "sync/AutoCheck.h"

#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

class QAction;
class QComboBox;
class QMenu;
class QSplitter;
class QLineEdit;
class QListWidget;
class QTimer;
class QToolBar;
class QTreeView;

namespace orv {

struct AppContext;
struct Options;
class AddForm;
class SetMesForm;
class SetUpdForm;
struct MessageRef;
struct Session;
class ExchangeWorker;
class MessageView;
class RelForm;
class Renderer;
class RunProgress;
class SettingsForm;
class TrayForm;
class TreeLoader;
class TreeModel;
class TreeSwapper;
struct TreeSnapshot;

// The main window: the message tree on the left, the view on the right, the
// status list at the bottom. It lives for the whole run; closing it hides it.
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

    // Rebuilds the tree from the store, off the window's thread, and shows it
    // with the selection, the expanded nodes and the scroll position kept. A
    // rebuild asked for while one is building replaces it.
    void ReLoadTree();
    // The same; whenShown runs once the new tree is shown.
    void reloadTreeThen(std::function<void()> whenShown);
    bool isTreeLoading() const;
    void DeleteOldRecords();
    int NewInTree() const { return m_newInTree; }

    // The receive and send runs, on the exchange thread; refused while
    // another runs.
    void mnu_Get_Click();
    void mnu_Send_Click();
    // All comments of the selected post, and the service's new smileys.
    void mnu_GetAllComments_Click();
    void mnu_GetSmiles_Click();

    // The clock, once a second: the icon blinks while the tree holds new
    // items, and an automatic check runs when its interval is reached.
    void Timer_Timer();
    void mnu_update_Click();
    // "Выход" (Ctrl+Q): the tray's exit sequence; "О программе".
    void mnu_Exit_Click();
    void mnu_About_Click();

    // The windows closed at exit, in this order; "MainForm" is this window.
    static const QStringList UnloadOrder;
    // From here on closing this window closes it instead of hiding it.
    void beginExit();
    bool isExiting() const { return m_exiting; }
    // Begins the exit and closes this window, shown or not, and the windows
    // it owns, in UnloadOrder. Of those, one already closed or hidden by the
    // user is left alone, and one that refuses (an editor kept open) stays.
    void closeWindowsForExit();
    // The window's size, place, splitter and tree width, kept between starts.
    void saveWindowState();
    void restoreWindowState();
    // The node selected when the program last ended, selected again.
    void selectLastNode();

    // The search: the box in the toolbar (Ctrl+F), its hits above the tree;
    // a hit chosen selects its node and shows its page, Esc goes back.
    void runSearch();
    void showHit(int row);
    QLineEdit* SearchText = nullptr;
    QListWidget* SearchHits = nullptr;
    // The main window shown on the first new item (a notification's click).
    void showFirstNew();
    QTimer* Timer;
    const AutoCheck& autoCheck() const { return m_autoCheck; }
    void mnu_Setting_Click();
    // Writing offline: the editor for a new message, for an unsent one of
    // one's own, or for a reply; the reply and caption settings.
    void mnu_NewPost_Click();
    void mnu_EditPost_Click();
    void mnu_Comment_Click();
    void mnu_setcom_Click();
    void mnu_setMes_Click();
    void mnu_Friends_Click();
    void mnuSinglePost_Click();

    // The commands on the selected node.
    void Tree_NodeClick(const QModelIndex& index);
    void Tree_MouseUp(const QPoint& position);
    void mnu_CollapseAll_Click();
    void mnu_DelPost_Click();
    void mnu_DelDiary_Click();
    void mnu_MakeDiaryRead_Click();
    void mnu_SetAllRead_Click();
    // Selects and shows the next new item after the selected one, in tree order.
    void mnu_NextNew_Click();
    void mnu_OnlyNew_Click();

    QTreeView* tree() const { return Tree; }
    MessageView* browser() const { return Browser; }
    QComboBox* statusList() const { return Status; }
    RunProgress* runProgress() const { return m_runProgress; }
    // The status list keeps the latest lines only; log.txt keeps them all.
    static constexpr int MaxStatusLines = 1000;
    TreeModel* treeModel() const { return m_treeModel; }
    QMenu* contextMenu() const { return mnu_Handler; }
    SettingsForm* settingsForm() const;
    AddForm* editor() const;
    RelForm* relForm() const;
    QString selectedKey() const;

signals:
    // An exchange run has ended and the tree shows its result.
    void exchangeFinished();
    // A rebuilt tree is shown.
    void treeShown();

protected:
    void closeEvent(QCloseEvent* event) override;
    // Esc leaves the search, Down goes from the box to its hits.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildWidgets();
    void showTree(const std::shared_ptr<TreeSnapshot>& snapshot);
    void buildMenus();
    void buildToolbar();
    QAction* command(QMenu* menu, const QString& name, const QString& caption,
                     void (MainForm::*handler)(), const QKeySequence& shortcut = {});
    // Starts the run with the actions disabled until it ends, and rebuilds
    // the tree then.
    // False when another run holds the exchange. whenDone runs first when
    // the run has ended.
    // activity is what the tray's tip says meanwhile.
    bool startExchange(std::function<void(const Session&)> job, const QString& prefix,
                       const QString& activity, const QList<QAction*>& busy,
                       std::function<void()> whenDone = {});
    void fitToScreen();
    void showStatusLine(const QString& line);
    void loadTreeIcons();
    void setMainCaption();
    void MakeNodeRead(int node, const MessageRef& message);
    // The editor for a new command, or nothing when the user keeps the one open.
    AddForm* freshEditor();
    void showEditor(AddForm* editor);
    void connectInsertHelpers(AddForm* editor);
    QString nowPlaying();
    void startAutoCheck();
    QWidget* buildSearchBox();
    QWidget* buildSearchHits();
    void closeSearch();
    void notifyOf(const CheckReport& report);
    Options captions() const;
    void removeSelectedNode();
    bool startsHidden() const;

    AppContext& m_ctx;
    TrayForm& m_tray;
    QTreeView* Tree;
    MessageView* Browser;
    QComboBox* Status;
    RunProgress* m_runProgress;
    QSplitter* m_splitter;
    QToolBar* Toolbar;
    QMenu* mnu_Handler;
    TreeModel* m_treeModel;
    TreeLoader* m_treeLoader;
    TreeSwapper* m_treeSwapper = nullptr;
    std::vector<std::function<void()>> m_whenTreeShown;
    ExchangeWorker* m_worker;
    std::unique_ptr<Renderer> m_renderer; // keeps the smiley catalogue between clicks
    // The tree's context menu. Its items are enabled by the node under the
    // mouse; their menu-bar twins ("...2") never are.
    QAction* mnu_NewPost = nullptr;
    QAction* mnu_EditPost = nullptr;
    QAction* mnu_Comment = nullptr;
    QAction* mnu_GetAllComments = nullptr;
    QAction* mnu_DelPost = nullptr;
    QAction* mnu_DelDiary = nullptr;
    QAction* mnu_CollapseAll = nullptr;
    QAction* mnu_MakeDiaryRead = nullptr;
    // The menu bar.
    QAction* mnu_Get = nullptr;
    QAction* mnu_Send = nullptr;
    QAction* mnu_GetSmiles = nullptr;
    QAction* mnu_Exit = nullptr;
    QAction* mnu_Setting = nullptr;
    QAction* mnu_setMes = nullptr;
    QAction* mnu_update = nullptr;
    QAction* mnu_setcom = nullptr;
    QAction* mnu_Friends = nullptr;
    QAction* mnu_CollapseAll2 = nullptr;
    QAction* mnu_OnlyNew = nullptr;
    QAction* mnu_NewPost2 = nullptr;
    QAction* mnu_Comment2 = nullptr;
    QAction* mnu_EditPost2 = nullptr;
    QAction* mnu_DelPost2 = nullptr;
    QAction* mnuSinglePost = nullptr;
    QAction* mnu_SetAllRead = nullptr;
    QAction* mnu_NextNew = nullptr;
    QAction* mnu_About = nullptr;
    QList<QIcon> ImgList;
    QPointer<SettingsForm> m_settingsForm;
    QPointer<RelForm> m_relForm;
    QPointer<AddForm> m_addForm;
    QPointer<SetMesForm> m_setMesForm; // its controls give the captions of a save
    QPointer<SetUpdForm> m_setUpdForm;
    AutoCheck m_autoCheck;
    QStringList m_hitKeys; // the node key of each hit shown
    int m_newInTree = 0;
    bool m_rebuilding = false;
    bool m_startHidden = false;
    bool m_exiting = false;
};

} // namespace orv
