#include "NodePage.h"

#include "PageBuilder.h"
#include "app/OrvError.h"
#include "store/PageRows.h"
#include "tree/NodeKey.h"

using namespace Qt::StringLiterals;

namespace orv {
namespace {

MessagePage pageOf(const StoredMessage& m, const QString& kind, bool withDownloadDate) {
    return {m.messageDate, m.uName,
            m.header,      m.message,
            kind,          m.journalId,
            m.postId,      m.commentId,
            m.attachPath,  withDownloadDate ? m.addDate : QString()};
}

StoredMessage found(std::optional<StoredMessage> row) {
    if (!row) {
        throw OrvError(u"Текущая запись отсутствует."_s);
    }
    return std::move(*row);
}

} // namespace

NodePage::NodePage(PageRows& rows, PageBuilder& pages)
    : m_rows(rows)
    , m_pages(pages) {}

NodePage::Result NodePage::show(const QString& nodeKey) {
    const NodeKey key(nodeKey);
    const qint64 localId = key.localId().toLongLong();
    if (key.kind() == NodeKey::Post) {
        const StoredMessage post = found(m_rows.post(localId));
        m_pages.BuildMessagePage(pageOf(post, u"Post"_s, true));
        for (const StoredMessage& comment : m_rows.commentsOf(key.serviceId())) {
            m_pages.AddCommentToPage(pageOf(comment, u"Comment"_s, false));
        }
        m_pages.ClosePage();
        return {Shown::Page, post.isNew};
    }
    if (key.kind() == NodeKey::Comment) {
        const StoredMessage comment = found(m_rows.comment(localId));
        m_pages.BuildMessagePage(pageOf(comment, u"Comment"_s, true));
        m_pages.ClosePage();
        return {Shown::Page, comment.isNew};
    }
    if (key.kind() == NodeKey::Private) {
        StoredMessage message = found(m_rows.privateMessage(localId));
        message.header = u"Приватное сообщение"_s;
        m_pages.BuildMessagePage(pageOf(message, u"Private"_s, true));
        m_pages.ClosePage();
        return {Shown::Page, message.isNew};
    }
    if (key.kind() == NodeKey::Diary) {
        const auto diary = m_rows.diary(key.owner());
        if (!diary) {
            return {Shown::Unchanged, false};
        }
        m_pages.BuildDiaryPage(diary->first, diary->second);
        return {Shown::Page, false};
    }
    return {Shown::Blank, false};
}

} // namespace orv
