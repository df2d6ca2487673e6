#include "MessageState.h"

#include "Database.h"
#include "app/OrvError.h"

using namespace Qt::StringLiterals;

namespace orv {
MessageState::MessageState(Database& db)
    : m_db(db) {}

bool MessageState::isSent(const MessageRef& message) {
    QSqlQuery q;
    if (message.kind == MessageRef::Kind::Comment) {
        q = m_db.prepare(
            u"SELECT Sent FROM Comments WHERE CommentID = ? ORDER BY ThisID LIMIT 1"_s);
        q.addBindValue(message.serviceId);
    } else {
        const auto [table, column] = messageTable(message.kind);
        q = m_db.prepare(u"SELECT Sent FROM "_s + table + u" WHERE "_s + column + u" = ?"_s);
        q.addBindValue(message.localId);
    }
    Database::exec(q);
    return q.next() ? q.value(0).toInt() != 0 : true;
}

std::optional<MessageState::Flags> MessageState::markRead(const MessageRef& message) {
    const auto [table, column] = messageTable(message.kind);
    QSqlQuery update =
        m_db.prepare(u"UPDATE "_s + table + u" SET New = 0 WHERE "_s + column + u" = ?"_s);
    update.addBindValue(message.localId);
    Database::exec(update);
    QSqlQuery read =
        m_db.prepare(u"SELECT New, Sent FROM "_s + table + u" WHERE "_s + column + u" = ?"_s);
    read.addBindValue(message.localId);
    Database::exec(read);
    if (!read.next()) {
        return std::nullopt;
    }
    return Flags{read.value(0).toInt() != 0, read.value(1).toInt() != 0};
}

void MessageState::markDiaryRead(const QString& owner) {
    Database::Transaction transaction(m_db, Database::Transaction::OnFailure::RollBack);
    QSqlQuery comments = m_db.prepare(u"UPDATE Comments SET New = 0 WHERE PostID IN "
                                      u"(SELECT PostID FROM Posts WHERE uName = ? AND New <> 0)"_s);
    comments.addBindValue(owner);
    Database::exec(comments);
    QSqlQuery posts = m_db.prepare(u"UPDATE Posts SET New = 0 WHERE uName = ? AND New <> 0"_s);
    posts.addBindValue(owner);
    Database::exec(posts);
    transaction.commit();
}

void MessageState::markAllRead() {
    Database::Transaction transaction(m_db, Database::Transaction::OnFailure::RollBack);
    m_db.execute(u"UPDATE Posts SET New = 0"_s);
    m_db.execute(u"UPDATE Comments SET New = 0"_s);
    transaction.commit();
}

} // namespace orv
