#pragma once

#include "store/SearchIndex.h"

#include <QIcon>
#include <QList>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

class QAction;
class QLineEdit;
class QListWidget;
class QMenu;
class QTreeView;

namespace orv {

struct AppContext;
struct MessageRef;
class MessageView;
class Renderer;
class TreeLoader;
class TreeModel;
class TreeSwapper;
struct TreeSnapshot;

// The left side of the main window: the message tree with the search hits
// above it, the search box for the toolbar, the tree's context menu and the
// commands on the selected node. A node made current shows its page in the
// view.
class TreePane : public QWidget {
    Q_OBJECT

public:
    TreePane(AppContext& ctx, MessageView& browser, Renderer& renderer, QWidget* parent);
    ~TreePane() override;

    // The commands of other owners that the context menu offers too; it is
    // built once they are known. Their enabling follows the node as well.
    struct ForeignCommands {
        QAction* newPost = nullptr;
        QAction* editPost = nullptr;
        QAction* comment = nullptr;
        QAction* getAllComments = nullptr;
        QAction* exportDiary = nullptr; // on a diary node
    };
    void buildContextMenu(const ForeignCommands& commands);
    // Whether an exchange runs: "Получить все комменты" waits for it.
    std::function<bool()> exchangeBusy;

    void setIcons(const QList<QIcon>& icons);

    // Rebuilds the tree from the store, off the window's thread, and shows it
    // with the selection, the expanded nodes and the scroll position kept. A
    // rebuild asked for while one is building replaces it.
    void ReLoadTree();
    // The same; whenShown runs once the new tree is shown.
    void reloadTreeThen(std::function<void()> whenShown);
    bool isTreeLoading() const;
    int NewInTree() const { return m_newInTree; }
    QString selectedKey() const;
    // The caption of the post that the selected node is or stands under;
    // empty when it is under no post.
    QString selectedPostCaption() const;
    // Selects and shows the node of the key, when the tree holds it.
    void selectKey(const QString& key);
    // Selects and shows the first new item (a notification's click).
    void selectFirstNew();

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

    // The search: the box (Ctrl+F), its hits above the tree; a hit chosen
    // selects its node and shows its page, Esc goes back.
    void runSearch();
    void showHit(int row);
    // Draws each hit in the colours of its row, selected or not.
    void paintHits();
    QLineEdit* SearchText = nullptr;
    QListWidget* SearchHits = nullptr;

    QTreeView* tree() const { return Tree; }
    TreeModel* treeModel() const { return m_treeModel; }
    QMenu* contextMenu() const { return mnu_Handler; }

    // The context menu's own items; their menu-bar twins ("...2") are never
    // enabled or disabled by a node.
    QAction* mnu_DelPost = nullptr;
    QAction* mnu_DelDiary = nullptr;
    QAction* mnu_CollapseAll = nullptr;
    QAction* mnu_MakeDiaryRead = nullptr;
    // The menu bar's tree commands.
    QAction* mnu_CollapseAll2 = nullptr;
    QAction* mnu_OnlyNew = nullptr;
    QAction* mnu_DelPost2 = nullptr;
    QAction* mnu_SetAllRead = nullptr;
    QAction* mnu_NextNew = nullptr;

signals:
    // The tree of the newest reload asked for is shown.
    void treeShown();

protected:
    // Esc leaves the search, Down goes from the box to its hits.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildTree();
    void buildSearchBox();
    void buildSearchHits();
    void buildCommands();
    void showTree(const std::shared_ptr<TreeSnapshot>& snapshot, quint64 number);
    // Writes the selected node's page again and shows it when it changed.
    void refreshShownPage(const QModelIndex& index);
    void showNode(const QModelIndex& index);
    void MakeNodeRead(int node, const MessageRef& message);
    void enableForNode(const QString& key);
    void removeSelectedNode();
    void closeSearch();

    AppContext& m_ctx;
    MessageView& m_browser;
    Renderer& m_renderer;
    QTreeView* Tree = nullptr;
    QMenu* mnu_Handler = nullptr;
    ForeignCommands m_foreign;
    TreeModel* m_treeModel;
    TreeLoader* m_treeLoader;
    TreeSwapper* m_treeSwapper = nullptr;
    // By the number of the reload they wait for.
    std::vector<std::pair<quint64, std::function<void()>>> m_whenTreeShown;
    QStringList m_hitKeys; // the node key of each hit shown
    std::vector<SearchHit> m_hits;
    int m_newInTree = 0;
    bool m_rebuilding = false;
};

} // namespace orv
