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
        QSqlQuery& write = stored.isValid() ? overwrite : insert;
        const QVariantList values = {post.message,
                                     post.header,
                                     StoredDate::fromServiceText(post.date),
                                     post.userName,
                                     post.postId,
                                     post.journalId,
                                     now};
        for (int i = 0; i < values.size(); ++i) {
            write.bindValue(i, values[i]);
        }
        if (stored.isValid()) {
            write.bindValue(int(values.size()), stored);
        }
        Database::exec(write);
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
        QSqlQuery& write = stored.isValid() ? overwrite : insert;
        const QVariantList values = {comment.message,
                                     comment.header,
                                     StoredDate::fromServiceText(comment.date),
                                     comment.userName,
                                     comment.postId,
                                     comment.commentId,
                                     comment.journalId,
                                     now};
        for (int i = 0; i < values.size(); ++i) {
            write.bindValue(i, values[i]);
        }
        if (stored.isValid()) {
            write.bindValue(int(values.size()), stored);
        }
        Database::exec(write);
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
        QSqlQuery& write = stored.isValid() ? overwrite : insert;
        write.bindValue(0, message.message);
        write.bindValue(1, date);
        write.bindValue(2, message.userName);
        write.bindValue(3, now);
        if (stored.isValid()) {
            write.bindValue(4, stored);
        }
        Database::exec(write);
    }
    transaction.commit();
}

} // namespace orv
