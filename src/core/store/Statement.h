#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <vector>

struct sqlite3_stmt;

namespace orv {

class Database;

// A statement prepared on the connection's own SQLite handle, for those run
// for every row a large store stores or reads: QtSql finds every bound value's
// place by name in a hash and copies every row into QVariants before it hands
// one out, which cost more than the engine's own work on the row. Values are
// bound by position from 0, always as parameters. Failures throw OrvError with
// the engine's text.
class Statement {
public:
    Statement(Database& db, const QString& sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Binding after a run or a row starts the statement anew. A null text or
    // an empty QVariant binds NULL.
    Statement& bind(int position, const QString& text);
    Statement& bind(int position, qint64 value);
    Statement& bind(int position, const QVariant& value);

    // Runs the statement to its end.
    void exec();
    // Steps to the next row; false after the last.
    bool next();
    // Leaves a walk through the rows early, letting go of what it reads.
    void finish();

    qint64 integer(int column) const;
    // NULL reads as a null text.
    QString text(int column) const;
    // The text as the engine holds it, in UTF-8, until the next step; NULL
    // reads as empty. For rows read by the hundred thousand, where making a
    // QString of every value cost more than reading it.
    QByteArrayView utf8(int column) const;
    // The key of the row the last INSERT on the connection added.
    qint64 lastInsertId() const;
    // The rows the last INSERT, UPDATE or DELETE on the connection changed.
    qint64 changes() const;

private:
    void fail() const;
    // Fails unless the engine took the value.
    Statement& bound(int result);

    sqlite3_stmt* m_statement = nullptr;
    bool m_stepped = false;
    std::vector<QByteArray> m_texts; // the bound texts, a place a parameter
};

} // namespace orv
