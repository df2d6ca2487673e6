#include "Housekeeping.h"

#include "Database.h"

using namespace Qt::StringLiterals;

namespace orv {

Housekeeping::Housekeeping(Database& db)
    : m_db(db) {}

void Housekeeping::purgeReadBefore(const QString& cutoff) {
    const QString old = u"AddDate < :cutoff AND New = 0 AND Sent <> 0"_s;
    const QStringList statements = {
        u"DELETE FROM Comments WHERE Sent <> 0 AND PostID IN (SELECT PostID FROM Posts WHERE "_s +
            old + u')',
        u"DELETE FROM Posts WHERE "_s + old,
        u"DELETE FROM Comments WHERE "_s + old,
        u"DELETE FROM PrivateMessages WHERE "_s + old,
    };
    Database::Transaction transaction(m_db);
    for (const QString& sql : statements) {
        QSqlQuery statement = m_db.prepare(sql);
        statement.bindValue(u":cutoff"_s, cutoff);
        Database::exec(statement);
    }
    transaction.commit();
}

QStringList Housekeeping::orphanPostIds() {
    QSqlQuery query = m_db.prepare(
        u"SELECT DISTINCT C.PostID FROM Comments AS C LEFT JOIN Posts AS P ON C.PostID = P.PostID "
        u"WHERE P.PostID IS NULL AND C.PostID IS NOT NULL AND C.PostID <> '' ORDER BY C.rowid"_s);
    Database::exec(query);
    QStringList ids;
    while (query.next()) {
        ids.append(query.value(0).toString());
    }
    return ids;
}

} // namespace orv
