#pragma once

#include "MessageRef.h"

#include <QString>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace orv {

class Database;
class Statement;

struct ReceivedPost {
    QString message, header, date, userName, postId, journalId;
};

struct ReceivedComment {
    QString message, header, date, userName, postId, commentId, journalId;
};

struct ReceivedPrivate {
    QString message, date, userName;
};

// What a store call did with the items it was given.
struct StoreReport {
    int stored = 0;
    // Items that could not be stored (a date that does not convert): the
    // service identifier (or the sender) and the error text.
    std::vector<std::pair<QString, QString>> failed;
};

// Stores what the service delivered: a message already stored is overwritten,
// a new one added. Dates come in the service's text form. Each call is one
// transaction that also marks the items' fetch-stack rows: "welldone" for an
// item stored or deliberately left out, "error" for one that could not be
// stored, while the rest are stored. An engine failure throws OrvError and
// undoes the whole call, so its stack rows stay waiting.
//
// A post or comment of the user (ownName) that the store does not know yet
// may be the published copy of an outgoing row whose send answer was lost: it
// then settles the first such row in doubt with the same title and text (and,
// for a comment, the same post), which becomes sent and read with the
// service's identifiers, instead of being stored a second time. Whatever the
// user wrote is stored read.
//
// An instance prepares each statement once, when first needed, and keeps it
// for later calls: a run stores all its batches through one instance.
class ReceivedMessages {
public:
    // Search::Off leaves the full-text index alone, to measure what it costs.
    enum class Search { On, Off };

    explicit ReceivedMessages(Database& db, QString ownName = {}, Search search = Search::On);
    ~ReceivedMessages();
    ReceivedMessages(const ReceivedMessages&) = delete;
    ReceivedMessages& operator=(const ReceivedMessages&) = delete;

    const QString& ownName() const { return m_ownName; }

    // An overwritten post becomes unread again and keeps Sent; a new post
    // without a diary identifier is left out.
    StoreReport savePosts(const std::vector<ReceivedPost>& posts);
    // Items dated "01.01.1970 03:00:00" are left out; an overwritten comment
    // keeps New and becomes sent.
    StoreReport saveComments(const std::vector<ReceivedComment>& comments);
    // A message is known by its text, date and sender together; one without
    // a date is left out. Private messages are not stacked; the kept answer
    // they came in, if any, is dropped in the same transaction.
    StoreReport savePrivates(const std::vector<ReceivedPrivate>& messages,
                             std::optional<qint64> keptAnswer = std::nullopt);

    static inline const QString NoDate = QStringLiteral("01.01.1970 03:00:00");

    // While one lives, the store holds the full-text entries of what it
    // stores and writes them at write(), for a caller that stores many
    // answers in one transaction, each call a savepoint of its own: the index
    // writes out what it has gathered at every savepoint, so entries written
    // a call at a time cost as much as calls committed one by one. The entries
    // of a call that fails are dropped with its rows; those not written when
    // the hold ends are dropped too, so the caller must write them in the
    // transaction that stored their rows, and undo the rows if it cannot.
    class IndexHold {
    public:
        explicit IndexHold(ReceivedMessages& store);
        ~IndexHold();
        IndexHold(const IndexHold&) = delete;
        IndexHold& operator=(const IndexHold&) = delete;
        void write();

    private:
        ReceivedMessages& m_store;
    };

private:
    struct Prepared;
    struct HeldEntry;
    // Indexes a stored message now, or holds its entry while a hold lives.
    void index(MessageRef::Kind kind, qint64 id, const QString& author, const QString& title,
               const QString& body);
    // Drops the entries held since the call started unless it commits.
    class HeldSince;
    // One of the statements the store uses, prepared on first use.
    Statement& query(int statement);
    // New as a row of the author is stored: 0 for what the user wrote.
    int unread(const QString& author) const;

    Database& m_db;
    const QString m_ownName;
    const bool m_indexed;
    std::unique_ptr<Prepared> m_prepared;
};

} // namespace orv
