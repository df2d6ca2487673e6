#pragma once

#include <QString>
#include <QStringList>

namespace orv {

class Database;

// Keeps the store small and whole. All calls throw OrvError.
class Housekeeping {
public:
    explicit Housekeeping(Database& db);

    // Deletes the read messages last written before the cut-off (stored form),
    // and every comment of a post that goes. Unread rows, rows never accepted
    // by the service (no AddDate) and unsent rows stay.
    void purgeReadBefore(const QString& cutoff);

    // Post identifiers that stored comments name but no stored post has.
    QStringList orphanPostIds();

private:
    Database& m_db;
};

} // namespace orv
