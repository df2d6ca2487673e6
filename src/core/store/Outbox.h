#pragma once

#include "MessageRef.h"
#include "Statement.h"

#include <QHash>
#include <QString>
#include <QVariantList>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

namespace orv {

class Database;

// An unsent message as the send queries need it. Dates are stored text.
struct OutgoingMessage {
    MessageRef::Kind kind = MessageRef::Kind::Post;
    qint64 key = 0; // ThisID, or ID of a private message
    QString header;
    QString message;
    QString date;
    QString attachPath;
    QString postId;     // a comment's post, as the service knows it
    QString userName;   // the author; a private message's recipient
    QString diaryOwner; // who a comment answers: the author of its stored post
    bool parseUrl = false;
    bool noComment = false;
    bool privatePost = false;
    bool subscribe = false;
    bool sent = false; // read from the store; ignored when writing
    // When its batch went to the service without an answer applied since:
    // the message may be published already. Read from the store only.
    QString handedOver;

    bool inDoubt() const { return !sent && !handedOver.isEmpty(); }
};

// What one send result decided for its row.
struct SendOutcome {
    // Accept: sent, with the service's identifiers. Keep: rejected, and kept
    // unsent for editing. Delete: rejected, and given up by the user. Defer:
    // rejected with nobody there to decide; kept, and not sent again until
    // the user decides (Keep or Delete).
    enum class Action { Accept, Keep, Delete, Defer };

    struct Identifiers {
        QString postId, journalId, commentId;
    };

    MessageRef::Kind kind = MessageRef::Kind::Post;
    qint64 key = 0;
    Action action = Action::Accept;
    // Accepted posts and comments: one set per ITEM of the result, in order.
    std::vector<Identifiers> items;
    // Defer: the service's error code, for the question asked later.
    QString error;
};

// A rejected row waiting for the user's decision, with the service's code.
struct PendingDecision {
    OutgoingMessage row;
    QString error;
};

// The outgoing queue: the unsent rows of Posts, Comments and PrivateMessages
// (those marked Out). The send run reads it kind by kind and applies each
// answer in one transaction. Statements are prepared once per Outbox, so one
// instance serves a whole run. All calls throw OrvError.
class Outbox {
public:
    explicit Outbox(Database& db);

    // The keys of the kind's unsent rows, oldest first, those in doubt
    // included; rows awaiting a decision are left out here and below.
    std::vector<qint64> unsentKeys(MessageRef::Kind kind);
    // The unsent rows of the kind whose batch went out without an answer
    // applied, oldest first.
    std::vector<OutgoingMessage> inDoubt(MessageRef::Kind kind);
    qsizetype unsentCount(MessageRef::Kind kind);
    // The row, or nothing when it is gone.
    std::optional<OutgoingMessage> find(MessageRef::Kind kind, qint64 key);
    // The rows of a batch in the order of the keys; rows that are gone are
    // left out.
    std::vector<OutgoingMessage> find(MessageRef::Kind kind, const std::vector<qint64>& keys);

    // Marks the rows of a batch as handed over, now, in one transaction,
    // before the batch goes out: until an answer about a row is applied, it
    // is in doubt. Only unsent rows are marked.
    void handOver(MessageRef::Kind kind, const std::vector<qint64>& keys);
    // The batch never left: its rows are plain unsent again.
    void takeBack(MessageRef::Kind kind, const std::vector<qint64>& keys);

    // Applies the outcomes of one answer in one transaction. Every outcome
    // changes an unsent row only (for a private message, an outgoing one): an
    // accepted row becomes sent, with the identifiers of its first ITEM, and
    // AddDate = now; a kept one is no longer in doubt; a given-up one is
    // deleted. An outcome the store refuses is undone alone and returned with
    // the engine's text; the others still count.
    std::vector<std::pair<SendOutcome, QString>> apply(const std::vector<SendOutcome>& outcomes);

    // The rows awaiting a decision, oldest first. A decision whose row is gone
    // (deleted meanwhile) is dropped.
    std::vector<PendingDecision> awaitingDecision();

    // New rows written by the composer, with Sent, New and Deleted false; the
    // message's key and options are taken, the key is returned. A new post or
    // comment gets the temporary service identifier "tmp" + its key.
    qint64 addPost(const OutgoingMessage& post);
    qint64 addComment(const OutgoingMessage& comment);
    qint64 addPrivate(const OutgoingMessage& message);

    // Edits of unsent rows by the composer; false when no unsent row has the
    // key (a send may have published it while the editor was open).
    // A post keeps its date; a private message becomes unsent, outgoing and
    // dated anew.
    bool updatePost(const OutgoingMessage& post);
    bool updateComment(const OutgoingMessage& comment);
    bool updatePrivate(const OutgoingMessage& message);

private:
    // The keys of the kind's rows that meet the condition, in key order.
    std::vector<qint64> keysWhere(MessageRef::Kind kind, const QString& condition);
    void accept(const SendOutcome& outcome, const QString& now);
    void remove(const SendOutcome& outcome);
    void setPending(MessageRef::Kind kind, qint64 key, const QString* error);
    // Sets HandedOver of the kind's unsent rows among the keys.
    void markHandedOver(MessageRef::Kind kind, const std::vector<qint64>& keys,
                        const QVariant& when);
    static OutgoingMessage rowOf(MessageRef::Kind kind, const Statement& q);
    // The statement, prepared on first use, with the values bound: ready to
    // step through its rows.
    Statement& statement(const QString& sql, const QVariantList& values = {});
    // The same, run to its end.
    Statement& run(const QString& sql, const QVariantList& values = {});

    Database& m_db;
    std::unordered_map<QString, Statement> m_statements;
};

} // namespace orv
