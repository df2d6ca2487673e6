#pragma once

namespace orv {

class Database;

// The table tmp_MessagesToGet: service identifiers waiting to be fetched.
class FetchStack {
public:
    explicit FetchStack(Database& db);

    // Forgets every waiting identifier. Throws OrvError.
    void clear();

private:
    Database& m_db;
};

} // namespace orv
