#include "TreePane.h"

#include "AppContext.h"
#include "CommandAction.h"
#include "MessageView.h"
#include "TreeModel.h"
#include "TreeSwapper.h"
#include "app/Constants.h"
#include "app/ErrorTrap.h"
#include "app/Escaping.h"
#include "app/OrvError.h"
#include "app/UserPrompts.h"
#include "render/NodePage.h"
#include "render/Renderer.h"
#include "store/MessageRemoval.h"
#include "store/MessageState.h"
#include "store/PageRows.h"
#include "store/SearchIndex.h"
#include "store/StoredDate.h"
#include "tree/NodeKey.h"
#include "tree/TreeLoader.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QShortcut>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace orv {
namespace {

QString kindWord(MessageRef::Kind kind) {
    switch (kind) {
    case MessageRef::Kind::Comment:
        return u"Комментарий"_s;
    case MessageRef::Kind::Private:
        return u"Личное"_s;
    case MessageRef::Kind::Post:
        break;
    }
    return u"Пост"_s;
}

// A hit as two lines of rich text: what and whose, in the heading's colour,
// then the text around the match.
QString hitHtml(const SearchHit& hit, const QColor& headingColor, int offsetHours) {
    QString snippet = hit.snippet.toHtmlEscaped();
    snippet.replace(SearchIndex::MatchStart, u"<b>"_s).replace(SearchIndex::MatchEnd, u"</b>"_s);
    QString heading =
        u"<span style='color:"_s + headingColor.name() + u"'>"_s + kindWord(hit.kind) + u" · "_s +
        hit.author.toHtmlEscaped() + u" · "_s +
        StoredDate::toRussianText(StoredDate::shifted(hit.date, offsetHours)).toHtmlEscaped() +
        u"</span>"_s;
    if (!hit.title.trimmed().isEmpty()) {
        heading += u" <i>"_s + Escaping::decode(hit.title).toHtmlEscaped() + u"</i>"_s;
    }
    return heading + u"<br>"_s + snippet;
}

// The status line of a search: the true count, and how many of them are shown.
QString searchStatus(qint64 shown, qint64 total) {
    if (shown == 0) {
        return u"Поиск: ничего не найдено"_s;
    }
    if (shown < total) {
        return u"Поиск: показаны первые "_s + QString::number(shown) + u" из "_s +
               QString::number(total);
    }
    return u"Поиск: найдено "_s + QString::number(total);
}

void expandAbove(QTreeView& tree, const QModelIndex& index) {
    for (QModelIndex above = index.parent(); above.isValid(); above = above.parent()) {
        tree.expand(above);
    }
}

} // namespace

TreePane::TreePane(AppContext& ctx, MessageView& browser, Renderer& renderer, QWidget* parent)
    : QWidget(parent)
    , m_ctx(ctx)
    , m_browser(browser)
    , m_renderer(renderer)
    , m_treeModel(new TreeModel(this))
    , m_treeLoader(new TreeLoader(ctx.folder.databasePath(), ctx.log, this)) {
    buildTree();
    buildSearchBox();
    buildSearchHits();
    buildCommands();
    // The hits of a search show above the tree while there are some.
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(SearchHits, 1);
    layout->addWidget(Tree, 2);
}

TreePane::~TreePane() = default;

void TreePane::buildTree() {
    Tree = new QTreeView(this);
    Tree->setObjectName(u"Tree"_s);
    Tree->setModel(m_treeModel);
    Tree->setHeaderHidden(true);
    Tree->setUniformRowHeights(true);
    Tree->setIconSize(QSize(16, 16));
    Tree->setMinimumWidth(160);
    Tree->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Tree, &QWidget::customContextMenuRequested, this, &TreePane::Tree_MouseUp);
    m_treeSwapper = new TreeSwapper(*Tree, *m_treeModel, this);
    connect(m_treeLoader, &TreeLoader::built, this, &TreePane::showTree);
    // Clicks and the keyboard both show the item that becomes current.
    connect(Tree->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                if (!m_rebuilding) {
                    Tree_NodeClick(current);
                }
            });
}

void TreePane::buildCommands() {
    mnu_DelPost = newCommand(this, u"mnu_DelPost"_s, u"Удалить сообщение"_s);
    mnu_DelDiary = newCommand(this, u"mnu_DelDiary"_s, u"Удалить дневник"_s);
    mnu_CollapseAll = newCommand(this, u"mnu_CollapseAll"_s, u"Свернуть дерево"_s);
    mnu_MakeDiaryRead = newCommand(this, u"mnu_MakeDiaryRead"_s, u"Отметить дневник прочтенным"_s);
    mnu_CollapseAll2 = newCommand(this, u"mnu_CollapseAll2"_s, u"Свернуть дерево"_s, Qt::Key_F12);
    mnu_OnlyNew = newCommand(this, u"mnu_OnlyNew"_s, u"Только новые комментарии"_s, Qt::Key_F9);
    mnu_OnlyNew->setCheckable(true);
    mnu_DelPost2 = newCommand(this, u"mnu_DelPost2"_s, u"Удалить сообщение"_s, Qt::Key_Delete);
    mnu_SetAllRead = newCommand(this, u"mnu_SetAllRead"_s, u"Отметить все прочтенными"_s,
                                QKeySequence(Qt::CTRL | Qt::Key_R));
    // Space belongs to the tree only: elsewhere it types or scrolls the view.
    mnu_NextNew = newCommand(this, u"mnu_NextNew"_s, u"Следующее новое"_s, Qt::Key_Space);
    mnu_NextNew->setShortcutContext(Qt::WidgetShortcut);
    Tree->addAction(mnu_NextNew);

    const auto runs = [this](QAction* action, void (TreePane::*handler)()) {
        connect(action, &QAction::triggered, this, handler);
    };
    runs(mnu_DelPost, &TreePane::mnu_DelPost_Click);
    runs(mnu_DelPost2, &TreePane::mnu_DelPost_Click);
    runs(mnu_DelDiary, &TreePane::mnu_DelDiary_Click);
    runs(mnu_CollapseAll, &TreePane::mnu_CollapseAll_Click);
    runs(mnu_CollapseAll2, &TreePane::mnu_CollapseAll_Click);
    runs(mnu_MakeDiaryRead, &TreePane::mnu_MakeDiaryRead_Click);
    runs(mnu_OnlyNew, &TreePane::mnu_OnlyNew_Click);
    runs(mnu_SetAllRead, &TreePane::mnu_SetAllRead_Click);
    runs(mnu_NextNew, &TreePane::mnu_NextNew_Click);
}

void TreePane::buildContextMenu(const ForeignCommands& commands) {
    // The tree's context menu; it never shows in the menu bar.
    m_foreign = commands;
    mnu_Handler = new QMenu(u"mnu_Handler"_s, this);
    mnu_Handler->setObjectName(u"mnu_Handler"_s);
    mnu_Handler->addActions({commands.newPost, commands.editPost});
    mnu_Handler->addSeparator();
    mnu_Handler->addActions({commands.comment, commands.getAllComments, mnu_DelPost, mnu_DelDiary});
    mnu_Handler->addSeparator();
    mnu_Handler->addActions({mnu_CollapseAll, mnu_MakeDiaryRead, commands.exportDiary});
}

void TreePane::setIcons(const QList<QIcon>& icons) {
    m_treeModel->setIcons(icons);
}

QString TreePane::selectedKey() const {
    return m_treeModel->keyOf(Tree->currentIndex());
}

QString TreePane::selectedPostCaption() const {
    const TreeSnapshot& tree = m_treeModel->snapshot();
    for (QModelIndex index = Tree->currentIndex(); index.isValid(); index = index.parent()) {
        const int node = m_treeModel->nodeOf(index);
        if (tree.nodes[size_t(node)].kind == NodeKind::Post) {
            return tree.text(node);
        }
    }
    return {};
}

void TreePane::selectKey(const QString& key) {
    const QModelIndex index = m_treeModel->indexOfKey(key);
    if (index.isValid()) {
        Tree->setCurrentIndex(index);
        Tree->scrollTo(index);
    }
}

void TreePane::selectFirstNew() {
    const QModelIndex first = m_treeModel->firstNew();
    if (first.isValid()) {
        Tree->setCurrentIndex(first);
        Tree->scrollTo(first);
        Tree_NodeClick(first);
    }
}

void TreePane::ReLoadTree() {
    reloadTreeThen({});
}

void TreePane::reloadTreeThen(std::function<void()> whenShown) {
    TreeLoader::Request request;
    request.settings = m_ctx.settings;
    request.filter.onlyNewComments = mnu_OnlyNew->isChecked();
    request.withStore = m_ctx.db.isOpen();
    request.expandedKeys = m_treeSwapper->expandedKeys();
    const quint64 number = m_treeLoader->request(std::move(request));
    if (whenShown) {
        m_whenTreeShown.emplace_back(number, std::move(whenShown));
    }
}

bool TreePane::isTreeLoading() const {
    return m_treeLoader->isLoading();
}

void TreePane::showTree(const std::shared_ptr<TreeSnapshot>& snapshot, quint64 number) {
    m_newInTree = snapshot->NewInTree;
    // One reset, with the view's updates held, instead of a repaint per node;
    // the selection moves without showing its page again.
    m_rebuilding = true;
    Tree->setUpdatesEnabled(false);
    const int reselected = m_treeSwapper->swapIn(std::move(*snapshot));
    if (reselected >= 0) {
        m_treeModel->setSelectedIcon(reselected, IconSelected);
        refreshShownPage(m_treeModel->indexOfNode(reselected));
    } else {
        Tree->setCurrentIndex(m_treeModel->indexOfNode(MyDiaryRoot));
    }
    Tree->setUpdatesEnabled(true);
    m_rebuilding = false;
    // Those waiting for this reload or an earlier one; they may ask for
    // another rebuild, so they are taken out first.
    const auto waitsLonger =
        std::stable_partition(m_whenTreeShown.begin(), m_whenTreeShown.end(),
                              [number](const auto& waiting) { return waiting.first > number; });
    std::vector<std::pair<quint64, std::function<void()>>> due(
        std::make_move_iterator(waitsLonger), std::make_move_iterator(m_whenTreeShown.end()));
    m_whenTreeShown.erase(waitsLonger, m_whenTreeShown.end());
    for (const auto& [_, then] : due) {
        then();
    }
    if (!m_treeLoader->isLoading()) {
        emit treeShown();
    }
}

void TreePane::Tree_NodeClick(const QModelIndex& index) {
    if (m_treeModel->nodeOf(index) < 0 || m_treeModel->keyOf(index).isEmpty()) {
        return;
    }
    runTrapped(m_ctx.log, u"MainForm.Tree_NodeClick: "_s, [&] { showNode(index); });
}

void TreePane::refreshShownPage(const QModelIndex& index) {
    // The store changed under the page (an edit, a send, a receive): the page
    // follows the row, and reading it does not count as opening it.
    try {
        PageBuilder pages = m_renderer.pageBuilder();
        PageRows rows(m_ctx.db);
        if (NodePage(rows, pages).show(m_treeModel->keyOf(index)).shown == NodePage::Shown::Page) {
            m_browser.refreshPage(m_ctx.folder.outPagePath());
        }
    } catch (const OrvError&) {
        // Gone meanwhile: the view keeps what it shows until the next click.
    }
}

void TreePane::showNode(const QModelIndex& index) {
    const int node = m_treeModel->nodeOf(index);
    const QString key = m_treeModel->keyOf(index);
    PageBuilder pages = m_renderer.pageBuilder();
    PageRows rows(m_ctx.db);
    const NodePage::Result result = NodePage(rows, pages).show(key);
    switch (result.shown) {
    case NodePage::Shown::Page:
        m_browser.showPage(m_ctx.folder.outPagePath());
        break;
    case NodePage::Shown::Blank:
        m_browser.showBlank();
        break;
    case NodePage::Shown::Unchanged:
        break;
    }
    if (const auto message = NodeKey(key).message(); result.wasNew && message) {
        MakeNodeRead(node, *message);
    }
    m_treeModel->setSelectedIcon(node, IconSelected);
}

void TreePane::MakeNodeRead(int node, const MessageRef& message) {
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

void TreePane::mnu_NextNew_Click() {
    const QModelIndex next = m_treeModel->nextNew(Tree->currentIndex());
    if (!next.isValid()) {
        m_ctx.log.LogStatus(u"Новых сообщений нет"_s);
        return;
    }
    expandAbove(*Tree, next);
    Tree->scrollTo(next);
    if (next == Tree->currentIndex()) {
        Tree_NodeClick(next); // the only new item, selected but not yet shown
    } else {
        Tree->setCurrentIndex(next); // shown as a click shows it
    }
}

void TreePane::Tree_MouseUp(const QPoint& position) {
    const QString key = selectedKey();
    if (key.isEmpty()) {
        return;
    }
    const QString kind = NodeKey(key).kind();
    if (kind != NodeKey::Post && kind != NodeKey::Private && kind != NodeKey::Diary &&
        kind != NodeKey::Comment) {
        return; // the fixed nodes have no menu
    }
    enableForNode(key);
    mnu_Handler->popup(Tree->viewport()->mapToGlobal(position));
}

void TreePane::enableForNode(const QString& key) {
    const NodeKey parsed(key);
    const QString& kind = parsed.kind();
    const bool message = kind == NodeKey::Post || kind == NodeKey::Private;
    const bool diary = kind == NodeKey::Diary;
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
    m_foreign.newPost->setEnabled(true);
    m_foreign.editPost->setEnabled(!diary && !sent);
    m_foreign.comment->setEnabled(!diary && sent);
    // It waits while an exchange runs, like its menu twin.
    const bool busy = exchangeBusy && exchangeBusy();
    m_foreign.getAllComments->setEnabled(message && sent && !busy);
    mnu_DelPost->setEnabled(!diary);
    mnu_DelDiary->setEnabled(diary);
    mnu_MakeDiaryRead->setEnabled(diary);
    m_foreign.exportDiary->setEnabled(diary);
}

void TreePane::mnu_CollapseAll_Click() {
    Tree->collapseAll();
    Tree->expand(m_treeModel->indexOfNode(FriendPostsRoot));
    Tree->expand(m_treeModel->indexOfNode(MyDiaryRoot));
}

void TreePane::removeSelectedNode() {
    m_treeModel->removeNode(m_treeModel->nodeOf(Tree->currentIndex()));
}

void TreePane::mnu_DelPost_Click() {
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

void TreePane::mnu_DelDiary_Click() {
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

void TreePane::mnu_MakeDiaryRead_Click() {
    runTrapped(m_ctx.log, u"MainForm.mnu_MakeDiaryRead_Click: "_s, [this] {
        const NodeKey key(selectedKey());
        if (key.kind() == NodeKey::Diary) {
            MessageState(m_ctx.db).markDiaryRead(key.owner());
        }
    });
    ReLoadTree();
}

void TreePane::mnu_SetAllRead_Click() {
    // Many items at once are likely a slip of Ctrl+R: asked first.
    constexpr int kAskAbove = 100;
    if (m_newInTree > kAskAbove &&
        !m_ctx.prompts.askYesNo(u"Отметить все прочитанными"_s,
                                u"Новых сообщений: "_s + QString::number(m_newInTree) +
                                    u". Отметить все прочитанными?"_s)) {
        return;
    }
    runTrapped(m_ctx.log, u"MainForm.mnu_SetAllRead_Click: "_s,
               [this] { MessageState(m_ctx.db).markAllRead(); });
    ReLoadTree();
}

void TreePane::mnu_OnlyNew_Click() {
    ReLoadTree(); // the check mark has toggled itself
}

void TreePane::buildSearchBox() {
    SearchText = new QLineEdit(this);
    SearchText->setObjectName(u"SearchText"_s);
    SearchText->setPlaceholderText(u"Поиск (Ctrl+F)"_s);
    SearchText->setToolTip(u"Слова, слово* для начала слова, \"фраза\" в кавычках"_s);
    SearchText->setClearButtonEnabled(true);
    SearchText->setMaximumWidth(260);
    connect(SearchText, &QLineEdit::returnPressed, this, &TreePane::runSearch);
    connect(new QShortcut(QKeySequence::Find, parentWidget()), &QShortcut::activated, this, [this] {
        SearchText->setFocus();
        SearchText->selectAll();
    });
    SearchText->installEventFilter(this);
}

void TreePane::buildSearchHits() {
    SearchHits = new QListWidget(this);
    SearchHits->setObjectName(u"SearchHits"_s);
    SearchHits->setWordWrap(true);
    SearchHits->hide();
    const auto show = [this](QListWidgetItem* item) { showHit(SearchHits->row(item)); };
    connect(SearchHits, &QListWidget::itemActivated, this, show);
    connect(SearchHits, &QListWidget::itemClicked, this, show);
    connect(SearchHits, &QListWidget::currentRowChanged, this, &TreePane::paintHits);
    SearchHits->installEventFilter(this);
}

void TreePane::runSearch() {
    std::vector<SearchHit> hits;
    qint64 total = 0;
    try {
        SearchIndex index(m_ctx.db);
        hits = index.search(SearchText->text());
        total = index.count(SearchText->text());
    } catch (const OrvError& error) {
        m_ctx.log.LogStatus(u"Поиск: "_s + error.text());
        return;
    }
    SearchHits->clear();
    m_hitKeys.clear();
    m_hits = std::move(hits);
    for (const SearchHit& hit : m_hits) {
        auto* item = new QListWidgetItem(SearchHits);
        auto* label = new QLabel(hitHtml(hit, palette().color(QPalette::PlaceholderText),
                                         m_ctx.settings.timeOffsetHours()));
        label->setTextFormat(Qt::RichText);
        label->setWordWrap(true);
        label->setContentsMargins(4, 2, 4, 2);
        item->setSizeHint(label->sizeHint());
        SearchHits->setItemWidget(item, label);
        m_hitKeys.append(NodeKey::of({hit.kind, hit.localId, hit.serviceId}));
    }
    m_ctx.log.LogStatus(searchStatus(qint64(m_hits.size()), total));
    SearchHits->setVisible(!m_hits.empty());
    if (!m_hits.empty()) {
        SearchHits->setCurrentRow(0);
        SearchHits->setFocus();
    }
}

void TreePane::paintHits() {
    // The selected hit is drawn on the highlight: its text takes the
    // highlight's text colour, in light and dark palettes alike.
    const QPalette colours = SearchHits->palette();
    for (int row = 0; row < SearchHits->count() && row < int(m_hits.size()); ++row) {
        auto* label = qobject_cast<QLabel*>(SearchHits->itemWidget(SearchHits->item(row)));
        const bool selected = row == SearchHits->currentRow();
        label->setForegroundRole(selected ? QPalette::HighlightedText : QPalette::Text);
        label->setText(
            hitHtml(m_hits[size_t(row)],
                    colours.color(selected ? QPalette::HighlightedText : QPalette::PlaceholderText),
                    m_ctx.settings.timeOffsetHours()));
    }
}

void TreePane::showHit(int row) {
    if (row < 0 || row >= m_hitKeys.size()) {
        return;
    }
    const QModelIndex node = m_treeModel->indexOfKey(m_hitKeys[row]);
    if (!node.isValid()) {
        m_ctx.log.LogStatus(u"Поиск: это сообщение не показано в дереве"_s);
        return;
    }
    expandAbove(*Tree, node);
    Tree->setCurrentIndex(node); // shows its page
    Tree->scrollTo(node);
}

bool TreePane::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && (watched == SearchText || watched == SearchHits)) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Escape) {
            closeSearch();
            return true;
        }
        if (key == Qt::Key_Down && watched == SearchText && SearchHits->isVisible()) {
            SearchHits->setFocus();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TreePane::closeSearch() {
    SearchHits->hide();
    Tree->setFocus();
}

} // namespace orv
