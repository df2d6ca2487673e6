// The tree side of the main window: rebuilding the tree, showing the selected
// item, and the commands on the selected node.
#include "AppContext.h"
#include "BusyCursor.h"
#include "MainForm.h"
#include "MessageView.h"
#include "TreeModel.h"
#include "TreeSwapper.h"
#include "app/Constants.h"
#include "app/ErrorTrap.h"
#include "app/OrvError.h"
#include "app/UserPrompts.h"
#include "render/NodePage.h"
#include "render/Renderer.h"
#include "store/MessageRemoval.h"
#include "store/MessageState.h"
#include "store/PageRows.h"
#include "sync/ExchangeWorker.h"
#include "tree/NodeKey.h"
#include "tree/TreeLoader.h"

#include <QAction>
#include <QMenu>
#include <QTreeView>

using namespace Qt::StringLiterals;

namespace orv {

QString MainForm::selectedKey() const {
    return m_treeModel->keyOf(Tree->currentIndex());
}

void MainForm::ReLoadTree() {
    reloadTreeThen({});
}

void MainForm::reloadTreeThen(std::function<void()> whenShown) {
    if (whenShown) {
        m_whenTreeShown.push_back(std::move(whenShown));
    }
    TreeLoader::Request request;
    request.settings = m_ctx.settings;
    request.filter.onlyNewComments = mnu_OnlyNew && mnu_OnlyNew->isChecked();
    request.withStore = m_ctx.db.isOpen();
    request.expandedKeys = m_treeSwapper->expandedKeys();
    m_treeLoader->request(std::move(request));
}

bool MainForm::isTreeLoading() const {
    return m_treeLoader->isLoading();
}

void MainForm::showTree(const std::shared_ptr<TreeSnapshot>& snapshot) {
    m_newInTree = snapshot->NewInTree;
    // One reset, with the view's updates held, instead of a repaint per node;
    // the selection moves without showing its page again.
    m_rebuilding = true;
    Tree->setUpdatesEnabled(false);
    const int reselected = m_treeSwapper->swapIn(std::move(*snapshot));
    if (reselected >= 0) {
        m_treeModel->setSelectedIcon(reselected, IconSelected);
    } else {
        Tree->setCurrentIndex(m_treeModel->indexOfNode(MyDiaryRoot));
    }
    Tree->setUpdatesEnabled(true);
    m_rebuilding = false;
    // Callbacks may ask for another rebuild: take them first.
    const auto whenShown = std::exchange(m_whenTreeShown, {});
    for (const auto& then : whenShown) {
        then();
    }
    emit treeShown();
}

void MainForm::Tree_NodeClick(const QModelIndex& index) {
    const int node = m_treeModel->nodeOf(index);
    const QString key = m_treeModel->keyOf(index);
    if (node < 0 || key.isEmpty()) {
        return;
    }
    runTrapped(m_ctx.log, u"MainForm.Tree_NodeClick: "_s, [&] {
        PageBuilder pages = m_renderer->pageBuilder();
        PageRows rows(m_ctx.db);
        const NodePage::Result result = NodePage(rows, pages).show(key);
        switch (result.shown) {
        case NodePage::Shown::Page:
            Browser->showPage(m_ctx.folder.outPagePath());
            break;
        case NodePage::Shown::Blank:
            Browser->showBlank();
            break;
        case NodePage::Shown::Unchanged:
            break;
        }
        if (const auto message = NodeKey(key).message(); result.wasNew && message) {
            MakeNodeRead(node, *message);
        }
        m_treeModel->setSelectedIcon(node, IconSelected);
    });
}

void MainForm::MakeNodeRead(int node, const MessageRef& message) {
    runTrapped(m_ctx.log, u"Mod_DB.MakeNodeRead: "_s, [&] {
        const auto flags = MessageState(m_ctx.db).markRead(message);
        if (!flags) {
            return;
        }
        int icon = IconRead;
        if (flags->isNew) {
            icon = flags->sent ? IconNew : IconNotSent;
            Tree->expand(m_treeModel->indexOfNode(node).parent());
        } else if (!flags->sent) {
            icon = IconOwnNotSentRead;
        }
        m_treeModel->setIcon(node, icon);
        m_treeModel->setNew(node, flags->isNew);
    });
}

void MainForm::mnu_NextNew_Click() {
    const QModelIndex next = m_treeModel->nextNew(Tree->currentIndex());
    if (!next.isValid()) {
        m_ctx.log.LogStatus(u"Новых сообщений нет"_s);
        return;
    }
    for (QModelIndex above = next.parent(); above.isValid(); above = above.parent()) {
        Tree->expand(above);
    }
    Tree->scrollTo(next);
    if (next == Tree->currentIndex()) {
        Tree_NodeClick(next); // the only new item, selected but not yet shown
    } else {
        Tree->setCurrentIndex(next); // shown as a click shows it
    }
}

void MainForm::Tree_MouseUp(const QPoint& position) {
    const QString key = selectedKey();
    if (key.isEmpty()) {
        return;
    }
    const NodeKey parsed(key);
    const QString& kind = parsed.kind();
    const bool message = kind == NodeKey::Post || kind == NodeKey::Private;
    const bool diary = kind == NodeKey::Diary;
    if (!message && !diary && kind != NodeKey::Comment) {
        return; // the fixed nodes have no menu
    }
    bool sent = false;
    if (!diary) {
        runTrapped(m_ctx.log, u"MOD_DB.IsSend: "_s, [&] {
            const auto message = parsed.message();
            if (!message) {
                throw OrvError(u"неизвестный вид узла: "_s + kind);
            }
            sent = MessageState(m_ctx.db).isSent(*message);
        });
    }
    mnu_NewPost->setEnabled(true);
    mnu_EditPost->setEnabled(!diary && !sent);
    mnu_Comment->setEnabled(!diary && sent);
    // It waits while an exchange runs, like its menu twin.
    mnu_GetAllComments->setEnabled(message && sent && !m_worker->isBusy());
    mnu_DelPost->setEnabled(!diary);
    mnu_DelDiary->setEnabled(diary);
    mnu_MakeDiaryRead->setEnabled(diary);
    mnu_Handler->popup(Tree->viewport()->mapToGlobal(position));
}

void MainForm::mnu_CollapseAll_Click() {
    Tree->collapseAll();
    Tree->expand(m_treeModel->indexOfNode(FriendPostsRoot));
    Tree->expand(m_treeModel->indexOfNode(MyDiaryRoot));
}

void MainForm::removeSelectedNode() {
    m_treeModel->removeNode(m_treeModel->nodeOf(Tree->currentIndex()));
}

void MainForm::mnu_DelPost_Click() {
    if (!m_ctx.prompts.askYesNo(VersionTag, u"Удалить?"_s)) {
        return;
    }
    runTrapped(m_ctx.log, u"MainForm.mnu_DelPost_Click: "_s, [this] {
        const QString key = selectedKey();
        if (key.isEmpty()) {
            throw OrvError(u"не выбрано сообщение"_s);
        }
        const NodeKey parsed(key);
        const qint64 id = parsed.localId().toLongLong();
        MessageRemoval removal(m_ctx.db);
        if (parsed.kind() == NodeKey::Post) {
            removal.deletePost(id);
        } else if (parsed.kind() == NodeKey::Comment) {
            removal.deleteComment(id);
        } else if (parsed.kind() == NodeKey::Private) {
            removal.deletePrivate(id);
        } else {
            return; // a diary or a fixed node is no message: it stays
        }
        removeSelectedNode();
    });
}

void MainForm::mnu_DelDiary_Click() {
    runTrapped(m_ctx.log, u"MainForm.mnu_DelDiary_Click: "_s, [this] {
        const NodeKey key(selectedKey());
        if (key.kind() != NodeKey::Diary) {
            return;
        }
        const QString owner = key.owner();
        if (!m_ctx.prompts.askYesNo(VersionTag, u"Удалить дневник "_s + owner +
                                                    u" со всеми его сообщениями?"_s)) {
            return;
        }
        if (!MessageRemoval(m_ctx.db).deleteDiary(owner)) {
            m_ctx.prompts.inform(VersionTag, u"Mod_Menu.DelDiaryEvent:: no diary found to delete"_s,
                                 UserPrompts::Icon::None);
            return;
        }
        ReLoadTree(); // unsent messages of the diary may stay
    });
}

void MainForm::mnu_MakeDiaryRead_Click() {
    runTrapped(m_ctx.log, u"MainForm.mnu_MakeDiaryRead_Click: "_s, [this] {
        const NodeKey key(selectedKey());
        if (key.kind() == NodeKey::Diary) {
            MessageState(m_ctx.db).markDiaryRead(key.owner());
        }
    });
    ReLoadTree();
}

void MainForm::mnu_SetAllRead_Click() {
    runTrapped(m_ctx.log, u"MainForm.mnu_SetAllRead_Click: "_s,
               [this] { MessageState(m_ctx.db).markAllRead(); });
    ReLoadTree();
}

void MainForm::mnu_OnlyNew_Click() {
    ReLoadTree(); // the check mark has toggled itself
}

} // namespace orv
