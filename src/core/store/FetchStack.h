#pragma once

#include "Statement.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace orv {

class Database;

// The table tmp_MessagesToGet: service identifiers waiting to be fetched, each
// with its kind ("get_new_posts" or "get_new_comments"). A row is marked only
// in the transaction that stores its item, so whatever cuts a run short, a
// waiting row is fetched by a later run. All calls throw OrvError.
class FetchStack {
public:
    static inline const QString Posts = QStringLiteral("get_new_posts");
    static inline const QString Comments = QStringLiteral("get_new_comments");

    explicit FetchStack(Database& db);

    // Forgets the rows that are done with (received, or failed to store);
    // waiting rows stay for the next run.
    void deleteFinished();
    // Stacks the identifiers, in order, as waiting; one already waiting of
    // the kind is not stacked twice.
    void add(const QStringList& ids, const QString& type);
    // The waiting identifiers of a kind, in the order they were stacked.
    QStringList waiting(const QString& type);
    qsizetype waitingCount(const QString& type);
    // The items of the kind were stored (or deliberately left out): "welldone".
    void markDone(const QStringList& ids, const QString& type);
    // The item could not be stored: "error", which keeps it out of later
    // fetches until the next start.
    void markFailed(const QString& id, const QString& type);
    // Removes the received rows.
    void deleteDone();

    // How many answers in a row may leave out an item before it is no longer
    // asked for.
    static constexpr int MaxMisses = 3;
    // The asked items of the kind that a readable answer left waiting missed
    // once more; those that missed MaxMisses times get "error" and are
    // returned, so that they are reported once.
    QStringList noteMisses(const QStringList& asked, const QString& type);

private:
    Database& m_db;
    std::optional<Statement> m_markDone; // prepared once an instance: a run marks every batch
};

} // namespace orv
