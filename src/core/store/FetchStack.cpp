#include "FetchStack.h"

#include "Database.h"

using namespace Qt::StringLiterals;

namespace orv {

FetchStack::FetchStack(Database& db)
    : m_db(db) {}

void FetchStack::deleteFinished() {
    m_db.execute(u"DELETE FROM tmp_MessagesToGet WHERE ErrCode IS NOT NULL"_s);
}

void FetchStack::add(const QStringList& ids, const QString& type) {
    // One statement for the whole list: each identifier once, in the order it
    // first comes, and none that waits already. The rows are chosen before the
    // first is written, so a repeat within the list is left out by the
    // grouping, not by the check against the table.
    QSqlQuery insert = m_db.prepare(
        u"INSERT INTO tmp_MessagesToGet (ID, Type, Direction) SELECT J.value, ?, 'in' FROM "
        u"json_each(?) AS J WHERE NOT EXISTS (SELECT 1 FROM tmp_MessagesToGet AS W WHERE W.ID = "
        u"J.value AND W.Type = ? AND W.ErrCode IS NULL) GROUP BY J.value ORDER BY min(J.key)"_s);
    insert.bindValue(0, type);
    insert.bindValue(1, Database::jsonArray(ids));
    insert.bindValue(2, type);
    Database::exec(insert);
}

QStringList FetchStack::waiting(const QString& type) {
    QSqlQuery query = m_db.prepare(u"SELECT ID FROM tmp_MessagesToGet WHERE Type = ? AND "
                                   u"Direction = 'in' AND ErrCode IS NULL ORDER BY rowid"_s);
    query.addBindValue(type);
    Database::exec(query);
    QStringList ids;
    while (query.next()) {
        ids.append(query.value(0).toString());
    }
    return ids;
}

qsizetype FetchStack::waitingCount(const QString& type) {
    QSqlQuery query = m_db.prepare(u"SELECT count(*) FROM tmp_MessagesToGet WHERE Type = ? AND "
                                   u"Direction = 'in' AND ErrCode IS NULL"_s);
    query.addBindValue(type);
    Database::exec(query);
    return query.next() ? query.value(0).toLongLong() : 0;
}

void FetchStack::markDone(const QStringList& ids, const QString& type) {
    // One statement for a whole batch: the identifiers travel as a JSON array.
    // "+Type" keeps the engine on the identifier index; the kind's index would
    // visit every waiting row of the kind for each batch.
    if (!m_markDone) {
        m_markDone.emplace(m_db, u"UPDATE tmp_MessagesToGet SET ErrCode = 'welldone' WHERE +Type "
                                 u"= ? AND ErrCode IS NULL AND ID IN (SELECT value FROM "
                                 u"json_each(?))"_s);
    }
    m_markDone->bind(0, type).bind(1, Database::jsonArray(ids)).exec();
}

QStringList FetchStack::noteMisses(const QStringList& asked, const QString& type) {
    Database::Transaction transaction(m_db, Database::Transaction::OnFailure::RollBack);
    const QString rows = u" WHERE +Type = ? AND ErrCode IS NULL AND ID IN (SELECT value FROM "
                         u"json_each(?))"_s;
    const QString json = Database::jsonArray(asked);
    QSqlQuery miss = m_db.prepare(u"UPDATE tmp_MessagesToGet SET Misses = Misses + 1"_s + rows);
    miss.addBindValue(type);
    miss.addBindValue(json);
    Database::exec(miss);
    QSqlQuery given = m_db.prepare(u"SELECT ID FROM tmp_MessagesToGet"_s + rows +
                                   u" AND Misses >= "_s + QString::number(MaxMisses));
    given.addBindValue(type);
    given.addBindValue(json);
    Database::exec(given);
    QStringList givenUp;
    while (given.next()) {
        givenUp.append(given.value(0).toString());
    }
    given.finish();
    QSqlQuery mark = m_db.prepare(u"UPDATE tmp_MessagesToGet SET ErrCode = 'error'"_s + rows +
                                  u" AND Misses >= "_s + QString::number(MaxMisses));
    mark.addBindValue(type);
    mark.addBindValue(json);
    Database::exec(mark);
    transaction.commit();
    return givenUp;
}

void FetchStack::markFailed(const QString& id, const QString& type) {
    QSqlQuery update = m_db.prepare(u"UPDATE tmp_MessagesToGet SET ErrCode = 'error' WHERE ID = ? "
                                    u"AND Type = ? AND ErrCode IS NULL"_s);
    update.addBindValue(id);
    update.addBindValue(type);
    Database::exec(update);
}

void FetchStack::deleteDone() {
    m_db.execute(u"DELETE FROM tmp_MessagesToGet WHERE ErrCode = 'welldone'"_s);
}

} // namespace orv
