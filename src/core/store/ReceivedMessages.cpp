#include "ReceivedMessages.h"

#include "Database.h"
#include "StoredDate.h"

#include <QVariant>

using namespace Qt::StringLiterals;

namespace orv {
namespace {

// The first row the query finds, or nothing.
QVariant firstRow(QSqlQuery& query) {
    Database::exec(query);
    const QVariant id = query.next() ? query.value(0) : QVariant();
    query.finish();
    return id;
}

// Overwrites the stored row (its identifier bound last) or adds a new one.
void writeRow(QSqlQuery& overwrite, QSqlQuery& insert, const QVariant& stored,
              const QVariantList& values) {
    QSqlQuery& write = stored.isValid() ? overwrite : insert;
    for (int i = 0; i < values.size(); ++i) {
        write.bindValue(i, values[i]);
    }
    if (stored.isValid()) {
        write.bindValue(int(values.size()), stored);
    }
    Database::exec(write);
}

} // namespace

ReceivedMessages::ReceivedMessages(Database& db)
    : m_db(db) {}

void ReceivedMessages::savePosts(const std::vector<ReceivedPost>& posts) {
    const QString now = StoredDate::now();
    Database::Transaction transaction(m_db);
    QSqlQuery find = m_db.prepare(
        u"SELECT ThisID FROM Posts WHERE PostID = ? AND Deleted = 0 ORDER BY ThisID LIMIT 1"_s);
    QSqlQuery overwrite = m_db.prepare(
        u"UPDATE Posts SET Message = ?, Header = ?, Messagedate = ?, uName = ?, PostID = ?, "
        u"JournalID = ?, New = 1, AddDate = ? WHERE ThisID = ?"_s);
    QSqlQuery insert = m_db.prepare(
        u"INSERT INTO Posts (Message, Header, Messagedate, uName, PostID, JournalID, New, Sent, "
        u"Deleted, AddDate) VALUES (?, ?, ?, ?, ?, ?, 1, 1, 0, ?)"_s);
    for (const ReceivedPost& post : posts) {
        find.bindValue(0, post.postId);
        const QVariant stored = firstRow(find);
        if (!stored.isValid() && post.journalId.isEmpty()) {
            continue;
        }
        writeRow(overwrite, insert, stored,
                 {post.message, post.header, StoredDate::fromServiceText(post.date), post.userName,
                  post.postId, post.journalId, now});
    }
    transaction.commit();
}

void ReceivedMessages::saveComments(const std::vector<ReceivedComment>& comments) {
    const QString now = StoredDate::now();
    Database::Transaction transaction(m_db);
    QSqlQuery find = m_db.prepare(u"SELECT ThisID FROM Comments WHERE CommentID = ? AND "
                                  u"Deleted = 0 ORDER BY ThisID LIMIT 1"_s);
    QSqlQuery overwrite = m_db.prepare(
        u"UPDATE Comments SET Message = ?, Header = ?, Messagedate = ?, uName = ?, PostID = ?, "
        u"CommentID = ?, JournalID = ?, Sent = 1, AddDate = ? WHERE ThisID = ?"_s);
    QSqlQuery insert = m_db.prepare(
        u"INSERT INTO Comments (Message, Header, Messagedate, uName, PostID, CommentID, "
        u"JournalID, New, Sent, Deleted, AddDate) VALUES (?, ?, ?, ?, ?, ?, ?, 1, 1, 0, ?)"_s);
    for (const ReceivedComment& comment : comments) {
        if (comment.date == NoDate) {
            continue;
        }
        find.bindValue(0, comment.commentId);
        const QVariant stored = firstRow(find);
        writeRow(overwrite, insert, stored,
                 {comment.message, comment.header, StoredDate::fromServiceText(comment.date),
                  comment.userName, comment.postId, comment.commentId, comment.journalId, now});
    }
    transaction.commit();
}

void ReceivedMessages::savePrivates(const std::vector<ReceivedPrivate>& messages) {
    const QString now = StoredDate::now();
    Database::Transaction transaction(m_db);
    QSqlQuery find = m_db.prepare(u"SELECT ID FROM PrivateMessages WHERE Message = ? AND "
                                  u"Messagedate = ? AND uName = ? ORDER BY ID LIMIT 1"_s);
    QSqlQuery overwrite = m_db.prepare(
        u"UPDATE PrivateMessages SET Message = ?, Messagedate = ?, uName = ?, New = 1, Sent = 1, "
        u"Deleted = 0, AddDate = ? WHERE ID = ?"_s);
    QSqlQuery insert = m_db.prepare(
        u"INSERT INTO PrivateMessages (Message, Messagedate, uName, New, Sent, Deleted, AddDate) "
        u"VALUES (?, ?, ?, 1, 1, 0, ?)"_s);
    for (const ReceivedPrivate& message : messages) {
        if (message.date == NoDate) {
            continue;
        }
        const bool dated = !message.date.isEmpty();
        const QString date = dated ? StoredDate::fromServiceText(message.date) : QString();
        QVariant stored;
        if (dated) {
            find.bindValue(0, message.message);
            find.bindValue(1, date);
            find.bindValue(2, message.userName);
            stored = firstRow(find);
        }
        if (!stored.isValid() && !dated) {
            continue;
        }
        writeRow(overwrite, insert, stored, {message.message, date, message.userName, now});
    }
    transaction.commit();
}

} // namespace orv
