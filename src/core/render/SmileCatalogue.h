#pragma once

#include "store/SmileStore.h"

namespace orv {

class Database;

// The smiley catalogue, read from the store once and again after whoever
// changed the table said so.
class SmileCatalogue {
public:
    explicit SmileCatalogue(Database& db);
    // Throws OrvError when the table cannot be read.
    const std::vector<Smiley>& smileys();
    // The table changed: the next use reads it again.
    void invalidate() { m_read = false; }

private:
    Database& m_db;
    bool m_read = false;
    std::vector<Smiley> m_smileys;
};

} // namespace orv
