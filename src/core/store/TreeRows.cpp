#include "TreeRows.h"

#include "Database.h"

using namespace Qt::StringLiterals;

namespace orv {

TreeRows::TreeRows(Database& db)
    : m_db(db) {}

void TreeRows::authors(const std::function<void(const QString&)>& visit) {
    QSqlQuery q = m_db.prepare(u"SELECT DISTINCT uName FROM Posts ORDER BY uName"_s);
    Database::exec(q);
    while (q.next()) {
        visit(q.value(0).toString());
    }
}

void TreeRows::posts(const std::function<void(const PostRow&)>& visit) {
    QSqlQuery q = m_db.prepare(u"SELECT Header, PostID, ThisID, uName, New, Sent, "
                               u"HandedOver IS NOT NULL FROM Posts "
                               u"WHERE PostID IS NOT NULL ORDER BY uName DESC, PostID DESC"_s);
    Database::exec(q);
    PostRow row;
    while (q.next()) {
        row.header = q.value(0).toString();
        row.postId = q.value(1).toString();
        row.thisId = q.value(2).toLongLong();
        row.uName = q.value(3).toString();
        row.isNew = q.value(4).toInt() != 0;
        row.sent = q.value(5).toInt() != 0;
        row.inDoubt = !row.sent && q.value(6).toInt() != 0;
        visit(row);
    }
}

void TreeRows::comments(const std::function<void(const CommentRow&)>& visit) {
    QSqlQuery q = m_db.prepare(
        u"SELECT C.CommentID, C.PostID, C.ThisID, C.uName, P.ThisID, C.New, C.Sent, "
        u"C.HandedOver IS NOT NULL FROM Comments AS C JOIN Posts AS P ON C.PostID = P.PostID "
        u"WHERE C.CommentID IS NOT NULL ORDER BY C.CommentID"_s);
    Database::exec(q);
    CommentRow row;
    while (q.next()) {
        row.commentId = q.value(0).toString();
        row.postId = q.value(1).toString();
        row.thisId = q.value(2).toLongLong();
        row.uName = q.value(3).toString();
        row.postThisId = q.value(4).toLongLong();
        row.isNew = q.value(5).toInt() != 0;
        row.sent = q.value(6).toInt() != 0;
        row.inDoubt = !row.sent && q.value(7).toInt() != 0;
        visit(row);
    }
}

void TreeRows::privates(bool outgoing, const std::function<void(const PrivateRow&)>& visit) {
    QSqlQuery q = m_db.prepare(u"SELECT ID, uName, New, Sent, HandedOver IS NOT NULL FROM "
                               u"PrivateMessages WHERE Out = ? ORDER BY Messagedate DESC"_s);
    q.addBindValue(outgoing ? 1 : 0);
    Database::exec(q);
    PrivateRow row;
    while (q.next()) {
        row.id = q.value(0).toLongLong();
        row.uName = q.value(1).toString();
        row.isNew = q.value(2).toInt() != 0;
        row.sent = q.value(3).toInt() != 0;
        row.inDoubt = !row.sent && q.value(4).toInt() != 0;
        visit(row);
    }
}

} // namespace orv
