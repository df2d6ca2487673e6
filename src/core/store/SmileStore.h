#pragma once

#include <QString>
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

    // Adds the smileys the table lacks, in order: a code with the same
    // picture is there already, one without a picture address is skipped, a
    // known code with another picture gets a row of its own. Returns how many
    // were added; on a failure (OrvError) those added before stay.
    int add(const std::vector<Smiley>& smileys);

private:
    Database& m_db;
};

} // namespace orv
