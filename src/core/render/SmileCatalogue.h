#pragma once

#include "store/SmileStore.h"

namespace orv {

class Database;

// The smiley catalogue, read from the store once and again only after the
// table has changed.
class SmileCatalogue {
public:
    explicit SmileCatalogue(Database& db);

    // Throws OrvError when the table cannot be read.
    const std::vector<Smiley>& smileys();

private:
    Database& m_db;
    quint64 m_generation = 0;
    std::vector<Smiley> m_smileys;
};

} // namespace orv
