// The main window's search over the stored messages.
#include "AppContext.h"
#include "MainForm.h"
#include "TreeModel.h"
#include "app/HtmlEntities.h"
#include "app/OrvError.h"
#include "store/SearchIndex.h"
#include "store/StoredDate.h"
#include "tree/NodeKey.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QShortcut>
#include <QTreeView>

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

// A hit as two lines of rich text: what and whose, then the text around the match.
QString hitHtml(const SearchHit& hit) {
    QString snippet = hit.snippet.toHtmlEscaped();
    snippet.replace(SearchIndex::MatchStart, u"<b>"_s).replace(SearchIndex::MatchEnd, u"</b>"_s);
    QString heading = u"<span style='color:gray'>"_s + kindWord(hit.kind) + u" · "_s +
                      hit.author.toHtmlEscaped() + u" · "_s +
                      StoredDate::toRussianText(hit.date).toHtmlEscaped() + u"</span>"_s;
    if (!hit.title.trimmed().isEmpty()) {
        heading += u" <i>"_s + HtmlEntities::decode(hit.title).toHtmlEscaped() + u"</i>"_s;
    }
    return heading + u"<br>"_s + snippet;
}

} // namespace

QWidget* MainForm::buildSearchBox() {
    SearchText = new QLineEdit(this);
    SearchText->setObjectName(u"SearchText"_s);
    SearchText->setPlaceholderText(u"Поиск (Ctrl+F)"_s);
    SearchText->setToolTip(u"Слова, слово* для начала слова, \"фраза\" в кавычках"_s);
    SearchText->setClearButtonEnabled(true);
    SearchText->setMaximumWidth(260);
    connect(SearchText, &QLineEdit::returnPressed, this, &MainForm::runSearch);
    connect(new QShortcut(QKeySequence::Find, this), &QShortcut::activated, this, [this] {
        SearchText->setFocus();
        SearchText->selectAll();
    });
    SearchText->installEventFilter(this);
    return SearchText;
}

QWidget* MainForm::buildSearchHits() {
    SearchHits = new QListWidget(this);
    SearchHits->setObjectName(u"SearchHits"_s);
    SearchHits->setWordWrap(true);
    SearchHits->hide();
    connect(SearchHits, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { showHit(SearchHits->row(item)); });
    SearchHits->installEventFilter(this);
    return SearchHits;
}

void MainForm::runSearch() {
    const QString typed = SearchText->text();
    std::vector<SearchHit> hits;
    try {
        hits = SearchIndex(m_ctx.db).search(typed);
    } catch (const OrvError& error) {
        m_ctx.log.LogStatus(u"Поиск: "_s + error.text());
        return;
    }
    SearchHits->clear();
    m_hitKeys.clear();
    for (const SearchHit& hit : hits) {
        auto* item = new QListWidgetItem(SearchHits);
        auto* label = new QLabel(hitHtml(hit), SearchHits);
        label->setTextFormat(Qt::RichText);
        label->setWordWrap(true);
        label->setContentsMargins(4, 2, 4, 2);
        item->setSizeHint(label->sizeHint());
        SearchHits->setItemWidget(item, label);
        m_hitKeys.append(NodeKey::of({hit.kind, hit.localId, hit.serviceId}));
    }
    m_ctx.log.LogStatus(hits.empty() ? u"Поиск: ничего не найдено"_s
                                     : u"Поиск: найдено "_s + QString::number(hits.size()));
    SearchHits->setVisible(!hits.empty());
    if (!hits.empty()) {
        SearchHits->setCurrentRow(0);
        SearchHits->setFocus();
    }
}

void MainForm::showHit(int row) {
    if (row < 0 || row >= m_hitKeys.size()) {
        return;
    }
    const QModelIndex node = m_treeModel->indexOfKey(m_hitKeys[row]);
    if (!node.isValid()) {
        m_ctx.log.LogStatus(u"Поиск: это сообщение не показано в дереве"_s);
        return;
    }
    for (QModelIndex parent = node.parent(); parent.isValid(); parent = parent.parent()) {
        Tree->expand(parent);
    }
    Tree->setCurrentIndex(node); // shows its page
    Tree->scrollTo(node);
}

bool MainForm::eventFilter(QObject* watched, QEvent* event) {
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
    return QMainWindow::eventFilter(watched, event);
}

void MainForm::closeSearch() {
    SearchHits->hide();
    Tree->setFocus();
}

} // namespace orv
