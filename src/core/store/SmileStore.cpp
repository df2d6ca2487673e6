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

} // namespace orv
