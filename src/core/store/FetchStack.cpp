#include "FetchStack.h"

#include "Database.h"

using namespace Qt::StringLiterals;

namespace orv {

FetchStack::FetchStack(Database& db)
    : m_db(db) {}

void FetchStack::clear() {
    m_db.execute(u"DELETE FROM tmp_MessagesToGet"_s);
}

void FetchStack::add(const QStringList& ids, const QString& type) {
    Database::Transaction transaction(m_db);
    QSqlQuery insert =
        m_db.prepare(u"INSERT INTO tmp_MessagesToGet (ID, Type, Direction) VALUES (?, ?, 'in')"_s);
    for (const QString& id : ids) {
        insert.bindValue(0, id);
        insert.bindValue(1, type);
        Database::exec(insert);
    }
    transaction.commit();
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

void FetchStack::markDone(const QString& id) {
    QSqlQuery update =
        m_db.prepare(u"UPDATE tmp_MessagesToGet SET ErrCode = 'welldone' WHERE ID = ?"_s);
    update.addBindValue(id);
    Database::exec(update);
}

void FetchStack::deleteDone() {
    m_db.execute(u"DELETE FROM tmp_MessagesToGet WHERE ErrCode = 'welldone'"_s);
}

} // namespace orv
