#pragma once

#include <QString>
#include <atomic>
#include <vector>

namespace orv {

class Database;

struct Smiley {
    QString code; // as typed in a message
    QString url;  // of its picture
};

// The service's smiley catalogue in the table Smiles.
class SmileStore {
public:
    explicit SmileStore(Database& db);

    // Every smiley in table order. Throws OrvError.
    std::vector<Smiley> all();

    // Moves on whenever this process changes the table, so a cached copy of
    // the catalogue knows when to read it again.
    static quint64 generation() { return s_generation.load(); }
    static void touched() { ++s_generation; }

private:
    Database& m_db;
    static inline std::atomic<quint64> s_generation{1};
};

} // namespace orv
