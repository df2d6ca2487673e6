#include "TreeRows.h"

#include "Database.h"
#include "Statement.h"

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

// New, Sent and "handed over without an answer" as one number, read as one
// value instead of three.
QString TreeRows::flagsSql(const QString& table) {
    return u"("_s + table + u".New <> 0) | (("_s + table + u".Sent <> 0) << 1) | (("_s + table +
           u".HandedOver IS NOT NULL) << 2)"_s;
}

void TreeRows::posts(const std::function<void(const PostRow&)>& visit) {
    Statement q(m_db, u"SELECT Header, PostID, ThisID, uName, "_s + flagsSql(u"Posts"_s) +
                          u" FROM Posts WHERE PostID IS NOT NULL ORDER BY uName DESC, "
                          u"PostID DESC"_s);
    PostRow row;
    while (q.next()) {
        row.header = q.text(0);
        row.postId = q.text(1);
        row.thisId = q.integer(2);
        row.uName = q.text(3);
        setFlags(row, q.integer(4));
        visit(row);
    }
}

QString TreeRows::commentsSql() {
    // Each comment once, with its post's identifier: the tree holds the posts
    // already and finds the comment's one itself, so no join is needed here.
    return u"SELECT CommentID, PostID, ThisID, uName, "_s + flagsSql(u"Comments"_s) +
           u" FROM Comments WHERE CommentID IS NOT NULL AND PostID IS NOT NULL ORDER BY "
           u"CommentID"_s;
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
