#include "KeptAnswers.h"

#include "Database.h"
#include "StoredDate.h"

#include <QVariant>

using namespace Qt::StringLiterals;

namespace orv {

KeptAnswers::KeptAnswers(Database& db)
    : m_db(db) {}

qint64 KeptAnswers::keep(const QString& kind, const QString& answer) {
    // Ordinary commits may be lost on a power cut; this one must not be, as
    // the service will not give the answer again.
    m_db.execute(u"PRAGMA synchronous=FULL"_s);
    qint64 key = 0;
    try {
        Database::Transaction transaction(m_db, Database::Transaction::OnFailure::RollBack);
        QSqlQuery insert = m_db.prepare(
            u"INSERT INTO tmp_KeptAnswers (Kind, Answer, Received) VALUES (?, ?, ?)"_s);
        insert.addBindValue(kind);
        insert.addBindValue(answer);
        insert.addBindValue(StoredDate::now());
        Database::exec(insert);
        key = insert.lastInsertId().toLongLong();
        transaction.commit();
    } catch (...) {
        m_db.execute(u"PRAGMA synchronous=NORMAL"_s);
        throw;
    }
    m_db.execute(u"PRAGMA synchronous=NORMAL"_s);
    return key;
}

std::vector<std::pair<qint64, QString>> KeptAnswers::all(const QString& kind) {
    QSqlQuery q =
        m_db.prepare(u"SELECT ID, Answer FROM tmp_KeptAnswers WHERE Kind = ? ORDER BY ID"_s);
    q.addBindValue(kind);
    Database::exec(q);
    std::vector<std::pair<qint64, QString>> answers;
    while (q.next()) {
        answers.emplace_back(q.value(0).toLongLong(), q.value(1).toString());
    }
    return answers;
}

void KeptAnswers::drop(qint64 key) {
    QSqlQuery q = m_db.prepare(u"DELETE FROM tmp_KeptAnswers WHERE ID = ?"_s);
    q.addBindValue(key);
    Database::exec(q);
}

} // namespace orv
