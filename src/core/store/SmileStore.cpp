#include "SmileStore.h"

#include "Database.h"

using namespace Qt::StringLiterals;

namespace orv {

SmileStore::SmileStore(Database& db)
    : m_db(db) {}

std::vector<Smiley> SmileStore::all() {
    QSqlQuery query = m_db.prepare(u"SELECT Smile, SmileURL FROM Smiles ORDER BY ID"_s);
    Database::exec(query);
    std::vector<Smiley> smileys;
    while (query.next()) {
        smileys.push_back({query.value(0).toString(), query.value(1).toString()});
    }
    return smileys;
}

int SmileStore::add(const std::vector<Smiley>& smileys) {
    Database::Transaction transaction(m_db);
    QSqlQuery known =
        m_db.prepare(u"SELECT 1 FROM Smiles WHERE Smile = ? AND SmileURL = ? LIMIT 1"_s);
    QSqlQuery insert = m_db.prepare(u"INSERT INTO Smiles (Smile, SmileURL) VALUES (?, ?)"_s);
    int added = 0;
    for (const Smiley& smiley : smileys) {
        known.bindValue(0, smiley.code);
        known.bindValue(1, smiley.url);
        Database::exec(known);
        const bool stored = known.next();
        known.finish();
        if (stored || smiley.url.isEmpty()) {
            continue;
        }
        insert.bindValue(0, smiley.code);
        insert.bindValue(1, smiley.url);
        Database::exec(insert);
        ++added;
    }
    transaction.commit();
    return added;
}

} // namespace orv
