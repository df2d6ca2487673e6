#include "MessageRemoval.h"

#include "Database.h"

using namespace Qt::StringLiterals;

namespace orv {
namespace {

void run(Database& db, const QString& sql, const QVariantList& values) {
    QSqlQuery q = db.prepare(sql);
    for (const QVariant& value : values) {
        q.addBindValue(value);
    }
    Database::exec(q);
}

} // namespace

MessageRemoval::MessageRemoval(Database& db)
    : m_db(db) {}

void MessageRemoval::deletePost(qint64 thisId) {
    Database::Transaction transaction(m_db, Database::Transaction::OnFailure::RollBack);
    run(m_db, u"DELETE FROM Comments WHERE PostID = (SELECT PostID FROM Posts WHERE ThisID = ?)"_s,
        {thisId});
    run(m_db, u"DELETE FROM Posts WHERE ThisID = ?"_s, {thisId});
    transaction.commit();
}

void MessageRemoval::deleteComment(qint64 thisId) {
    run(m_db, u"DELETE FROM Comments WHERE ThisID = ?"_s, {thisId});
}

void MessageRemoval::deletePrivate(qint64 id) {
    run(m_db, u"DELETE FROM PrivateMessages WHERE ID = ?"_s, {id});
}

bool MessageRemoval::deleteDiary(const QString& owner) {
    QSqlQuery any = m_db.prepare(u"SELECT 1 FROM Posts WHERE uName = ? LIMIT 1"_s);
    any.addBindValue(owner);
    Database::exec(any);
    if (!any.next()) {
        return false;
    }
    any.finish();
    Database::Transaction transaction(m_db, Database::Transaction::OnFailure::RollBack);
    run(m_db,
        u"DELETE FROM Comments WHERE Sent <> 0 AND PostID IN "
        u"(SELECT PostID FROM Posts WHERE uName = ? AND Sent <> 0)"_s,
        {owner});
    run(m_db, u"DELETE FROM Posts WHERE uName = ? AND Sent <> 0"_s, {owner});
    transaction.commit();
    return true;
}

} // namespace orv
