#pragma once

#include <QString>
#include <utility>
#include <vector>

namespace orv {

class Database;

// Answers the service gives only once: it marks private messages read as it
// answers. Such an answer is kept in the store from its arrival until the
// transaction that stores its messages drops it, so a run that is killed or
// cannot store them loses nothing; the next run stores a kept answer first.
// All calls throw OrvError.
class KeptAnswers {
public:
    static inline const QString Privates = QStringLiteral("privates");

    explicit KeptAnswers(Database& db);

    // Keeps the answer, flushed to the disk before this returns; its key.
    qint64 keep(const QString& kind, const QString& answer);
    // The kept answers of a kind, oldest first: key and text.
    std::vector<std::pair<qint64, QString>> all(const QString& kind);
    void drop(qint64 key);

private:
    Database& m_db;
};

} // namespace orv
