#pragma once

#include <QString>

struct sqlite3_stmt;

namespace orv {

class Database;

// A read-only query stepped on the connection's own SQLite handle, for the
// queries that read every row of a large store: QtSql copies each row into
// QVariants of every column before it hands one out, which costs more than
// the engine's own work. Values go in as SQL text that names no value from
// outside; failures throw OrvError with the engine's text.
class RowCursor {
public:
    RowCursor(Database& db, const QString& sql);
    ~RowCursor();
    RowCursor(const RowCursor&) = delete;
    RowCursor& operator=(const RowCursor&) = delete;

    // Steps to the next row; false after the last.
    bool next();
    qint64 integer(int column) const;
    // NULL reads as a null text.
    QString text(int column) const;

private:
    sqlite3_stmt* m_statement = nullptr;
};

} // namespace orv
