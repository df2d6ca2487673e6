#pragma once

#include <QString>
#include <QStringList>

namespace orv {

class Database;

// The table tmp_MessagesToGet: service identifiers waiting to be fetched, each
// with its kind ("get_new_posts" or "get_new_comments"). All calls throw
// OrvError.
class FetchStack {
public:
    static inline const QString Posts = QStringLiteral("get_new_posts");
    static inline const QString Comments = QStringLiteral("get_new_comments");

    explicit FetchStack(Database& db);

    // Forgets every identifier.
    void clear();
    // Stacks the identifiers, in order, as waiting.
    void add(const QStringList& ids, const QString& type);
    // The waiting identifiers of a kind, in the order they were stacked.
    QStringList waiting(const QString& type);
    // Marks every row of the identifier as received.
    void markDone(const QString& id);
    // Removes the received rows.
    void deleteDone();

private:
    Database& m_db;
};

} // namespace orv
