#include "SmileCatalogue.h"

namespace orv {

SmileCatalogue::SmileCatalogue(Database& db)
    : m_db(db) {}

const std::vector<Smiley>& SmileCatalogue::smileys() {
    const quint64 generation = SmileStore::generation();
    if (generation != m_generation) {
        m_smileys = SmileStore(m_db).all();
        m_generation = generation;
    }
    return m_smileys;
}

} // namespace orv
