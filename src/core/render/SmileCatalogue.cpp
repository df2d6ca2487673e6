#include "SmileCatalogue.h"

namespace orv {

SmileCatalogue::SmileCatalogue(Database& db)
    : m_db(db) {}

const std::vector<Smiley>& SmileCatalogue::smileys() {
    if (!m_read) {
        m_smileys = SmileStore(m_db).all();
        m_read = true;
    }
    return m_smileys;
}

} // namespace orv
