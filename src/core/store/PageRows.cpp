#include "PageRows.h"

#include "Database.h"
#include "StoredDate.h"

using namespace Qt::StringLiterals;

namespace orv {
namespace {

const QString kColumns = u"Message, Header, uName, Messagedate, JournalID, PostID, CommentID, "
                         u"AttachPath, AddDate, New"_s;

std::optional<StoredMessage> first(std::vector<StoredMessage> rows) {
    if (rows.empty()) {
        return std::nullopt;
    }
    return std::move(rows.front());
}

} // namespace

PageRows::PageRows(Database& db)
    : m_db(db) {}

std::vector<StoredMessage> PageRows::select(const QString& sql, const QVariant& value) {
    QSqlQuery q = m_db.prepare(sql);
    q.addBindValue(value);
    Database::exec(q);
    std::vector<StoredMessage> rows;
    while (q.next()) {
        rows.push_back({q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                        StoredDate::toServiceText(q.value(3).toString()), q.value(4).toString(),
                        q.value(5).toString(), q.value(6).toString(), q.value(7).toString(),
                        StoredDate::toServiceText(q.value(8).toString()), q.value(9).toInt() != 0});
    }
    return rows;
}

std::optional<StoredMessage> PageRows::post(qint64 thisId) {
    return first(select(u"SELECT Message, Header, uName, Messagedate, JournalID, PostID, '', "
                        u"AttachPath, AddDate, New FROM Posts WHERE ThisID = ?"_s,
                        thisId));
}

std::vector<StoredMessage> PageRows::commentsOf(const QString& postId) {
    return select(u"SELECT "_s + kColumns + u" FROM Comments WHERE PostID = ? ORDER BY CommentID"_s,
                  postId);
}

std::optional<StoredMessage> PageRows::comment(qint64 thisId) {
    return first(select(u"SELECT "_s + kColumns + u" FROM Comments WHERE ThisID = ?"_s, thisId));
}

std::optional<StoredMessage> PageRows::privateMessage(qint64 id) {
    return first(select(u"SELECT Message, '', uName, Messagedate, '', '', '', '', AddDate, New "
                        u"FROM PrivateMessages WHERE ID = ?"_s,
                        id));
}

std::optional<std::pair<QString, QString>> PageRows::diary(const QString& owner) {
    QSqlQuery q = m_db.prepare(
        u"SELECT uName, JournalID FROM Posts WHERE uName = ? ORDER BY ThisID LIMIT 1"_s);
    q.addBindValue(owner);
    Database::exec(q);
    if (!q.next()) {
        return std::nullopt;
    }
    return std::pair(q.value(0).toString(), q.value(1).toString());
}

} // namespace orv
