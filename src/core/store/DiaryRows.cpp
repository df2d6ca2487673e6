#include "DiaryRows.h"

#include "Database.h"

#include <QSqlRecord>

using namespace Qt::StringLiterals;

namespace orv {

DiaryRows::DiaryRows(Database& db)
    : m_db(db) {}

std::vector<DiaryRows::PostKey> DiaryRows::posts(const QString& owner) {
    QSqlQuery q = m_db.prepare(u"SELECT ThisID, PostID FROM Posts WHERE uName = ? AND Sent = 1 "
                               u"ORDER BY Messagedate DESC, ThisID DESC"_s);
    q.addBindValue(owner);
    Database::exec(q);
    std::vector<PostKey> keys;
    while (q.next()) {
        keys.push_back({q.value(0).toLongLong(), q.value(1).toString()});
    }
    return keys;
}

QVariantMap DiaryRows::post(qint64 thisId) {
    const auto rows = select(u"SELECT * FROM Posts WHERE ThisID = ?"_s, thisId);
    return rows.empty() ? QVariantMap() : rows.front();
}

std::vector<QVariantMap> DiaryRows::commentsOf(const QString& postId) {
    return select(u"SELECT * FROM Comments WHERE PostID = ? AND Sent = 1 ORDER BY CommentID"_s,
                  postId);
}

std::vector<QVariantMap> DiaryRows::select(const QString& sql, const QVariant& value) {
    QSqlQuery q = m_db.prepare(sql);
    q.addBindValue(value);
    Database::exec(q);
    std::vector<QVariantMap> rows;
    while (q.next()) {
        const QSqlRecord record = q.record();
        QVariantMap row;
        for (int i = 0; i < record.count(); ++i) {
            row.insert(record.fieldName(i), record.value(i));
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

} // namespace orv
