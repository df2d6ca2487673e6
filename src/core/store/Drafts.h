#pragma once

#include <QString>
#include <optional>

namespace orv {

class Database;

// What the message editor holds while it is open, kept apart from the outbox
// so that a crash or a power cut loses at most a few seconds of typing. There
// is one editor, so there is at most one draft; each write replaces it whole
// in one statement. All calls throw OrvError.
class Drafts {
public:
    struct Kept {
        QString saved; // when it was written, as stored dates are
        QString state; // the editor's state, in the composer's form
    };

    explicit Drafts(Database& db);

    void keep(const QString& state);
    // The draft a previous run left behind, if any.
    std::optional<Kept> left();
    void discard();

private:
    Database& m_db;
};

} // namespace orv
