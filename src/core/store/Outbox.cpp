#include "Outbox.h"

#include "Database.h"
#include "SearchIndex.h"
#include "StoredDate.h"
#include "app/OrvError.h"

#include <QVariant>
#include <tuple>

using namespace Qt::StringLiterals;

namespace orv {
namespace {

using Kind = MessageRef::Kind;

// The unsent rows of a kind; a private message counts when it is outgoing.
QString unsentCondition(Kind kind) {
    return kind == Kind::Private ? u"Sent = 0 AND Out <> 0"_s : u"Sent = 0"_s;
}

// The unsent rows a send may take: not those awaiting the user's decision.
QString waitingCondition(Kind kind) {
    const auto [table, key] = messageTable(kind);
    return unsentCondition(kind) + u" AND NOT EXISTS (SELECT 1 FROM PendingDecisions D WHERE "_s +
           u"D.Tbl = '"_s + table + u"' AND D.MessageKey = "_s + key + u')';
}

// The columns of an outgoing row, in the order rowOf reads them.
QString selectRows(Kind kind) {
    switch (kind) {
    case Kind::Comment:
        return u"SELECT ThisID, Header, Message, Messagedate, AttachPath, PostID, uName, "
               u"(SELECT P.uName FROM Posts P WHERE P.PostID = C.PostID AND P.PostID <> '' "
               u"ORDER BY P.ThisID LIMIT 1), out_ParseURL, 0, 0, out_Subscribe, Sent, "
               u"HandedOver FROM Comments C WHERE ThisID"_s;
    case Kind::Private:
        return u"SELECT ID, '', Message, Messagedate, '', '', uName, '', 0, 0, 0, 0, Sent, "
               u"HandedOver FROM PrivateMessages WHERE ID"_s;
    case Kind::Post:
        break;
    }
    return u"SELECT ThisID, Header, Message, Messagedate, AttachPath, PostID, uName, '', "
           u"out_ParseURL, out_Nocomment, out_Privatepost, out_Subscribe, Sent, HandedOver "
           u"FROM Posts WHERE ThisID"_s;
}

QString jsonArray(const std::vector<qint64>& keys) {
    QStringList numbers;
    numbers.reserve(qsizetype(keys.size()));
    for (const qint64 key : keys) {
        numbers.append(QString::number(key));
    }
    return u'[' + numbers.join(u',') + u']';
}

} // namespace

Outbox::Outbox(Database& db)
    : m_db(db) {}

Statement& Outbox::statement(const QString& sql, const QVariantList& values) {
    Statement& q = m_statements.try_emplace(sql, m_db, sql).first->second;
    q.finish();
    for (qsizetype i = 0; i < values.size(); ++i) {
        q.bind(int(i), values[i]);
    }
    return q;
}

Statement& Outbox::run(const QString& sql, const QVariantList& values) {
    Statement& q = statement(sql, values);
    q.exec();
    return q;
}

std::vector<qint64> Outbox::keysWhere(Kind kind, const QString& condition) {
    const auto [table, key] = messageTable(kind);
    Statement& q = statement(u"SELECT "_s + key + u" FROM "_s + table + u" WHERE "_s + condition +
                             u" ORDER BY "_s + key);
    std::vector<qint64> keys;
    while (q.next()) {
        keys.push_back(q.integer(0));
    }
    q.finish();
    return keys;
}

std::vector<qint64> Outbox::unsentKeys(Kind kind) {
    return keysWhere(kind, waitingCondition(kind));
}

std::vector<OutgoingMessage> Outbox::inDoubt(Kind kind) {
    const std::vector<qint64> keys =
        keysWhere(kind, waitingCondition(kind) + u" AND HandedOver IS NOT NULL"_s);
    return keys.empty() ? std::vector<OutgoingMessage>() : find(kind, keys);
}

qsizetype Outbox::unsentCount(Kind kind) {
    Statement& q = statement(u"SELECT COUNT(*) FROM "_s + messageTable(kind).table + u" WHERE "_s +
                             waitingCondition(kind));
    q.next();
    const qsizetype count = q.integer(0);
    q.finish();
    return count;
}

OutgoingMessage Outbox::rowOf(Kind kind, const Statement& q) {
    OutgoingMessage m;
    m.kind = kind;
    m.key = q.integer(0);
    m.header = q.text(1);
    m.message = q.text(2);
    m.date = q.text(3);
    m.attachPath = q.text(4);
    m.postId = q.text(5);
    m.userName = q.text(6);
    m.diaryOwner = q.text(7);
    // A yes/no column holds true only as a non-zero number; NULL is false.
    m.parseUrl = q.integer(8) != 0;
    m.noComment = q.integer(9) != 0;
    m.privatePost = q.integer(10) != 0;
    m.subscribe = q.integer(11) != 0;
    m.sent = q.integer(12) != 0;
    m.handedOver = q.text(13);
    return m;
}

std::optional<OutgoingMessage> Outbox::find(Kind kind, qint64 key) {
    std::vector<OutgoingMessage> rows = find(kind, std::vector<qint64>{key});
    return rows.empty() ? std::nullopt : std::optional(std::move(rows.front()));
}

std::vector<OutgoingMessage> Outbox::find(Kind kind, const std::vector<qint64>& keys) {
    // One statement for the whole batch: the rows come in key order, and are
    // put in the order asked for.
    Statement& q =
        statement(selectRows(kind) + u" IN (SELECT value FROM json_each(?))"_s, {jsonArray(keys)});
    QHash<qint64, OutgoingMessage> found;
    while (q.next()) {
        OutgoingMessage row = rowOf(kind, q);
        found.insert(row.key, std::move(row));
    }
    q.finish(); // a statement kept for reuse must not hold the read lock
    std::vector<OutgoingMessage> rows;
    rows.reserve(keys.size());
    for (const qint64 key : keys) {
        if (const auto row = found.constFind(key); row != found.cend()) {
            rows.push_back(*row);
        }
    }
    return rows;
}

std::vector<std::pair<SendOutcome, QString>>
Outbox::apply(const std::vector<SendOutcome>& outcomes) {
    std::vector<std::pair<SendOutcome, QString>> refused;
    if (outcomes.empty()) {
        return refused;
    }
    const QString now = StoredDate::now();
    Database::Transaction transaction(m_db, Database::Transaction::OnFailure::RollBack);
    for (const SendOutcome& outcome : outcomes) {
        try {
            Database::Transaction one(m_db, Database::Transaction::OnFailure::RollBack);
            switch (outcome.action) {
            case SendOutcome::Action::Accept:
                accept(outcome, now);
                break;
            case SendOutcome::Action::Keep:
                markHandedOver(outcome.kind, {outcome.key}, QVariant());
                setPending(outcome.kind, outcome.key, nullptr);
                break;
            case SendOutcome::Action::Delete:
                remove(outcome);
                setPending(outcome.kind, outcome.key, nullptr);
                break;
            case SendOutcome::Action::Defer:
                markHandedOver(outcome.kind, {outcome.key}, QVariant());
                setPending(outcome.kind, outcome.key, &outcome.error);
                break;
            }
            one.commit();
        } catch (const OrvError& error) {
            refused.emplace_back(outcome, error.text());
        }
    }
    transaction.commit();
    return refused;
}

void Outbox::accept(const SendOutcome& outcome, const QString& now) {
    const auto [table, key] = messageTable(outcome.kind);
    const QString where = u" WHERE "_s + key + u" = ? AND "_s + unsentCondition(outcome.kind);
    if (outcome.kind == Kind::Private) {
        run(u"UPDATE PrivateMessages SET Sent = 1, HandedOver = NULL, AddDate = ?"_s + where,
            {now, outcome.key});
        return;
    }
    if (outcome.items.empty()) {
        return; // without its identifiers a post or comment cannot be marked
    }
    // Only the first ITEM counts: the row is sent once it is applied.
    const SendOutcome::Identifiers& item = outcome.items.front();
    if (outcome.kind == Kind::Post) {
        run(u"UPDATE Posts SET PostID = ?, JournalID = ?, Sent = 1, HandedOver = NULL, "
            u"AddDate = ?"_s +
                where,
            {item.postId, item.journalId, now, outcome.key});
    } else {
        run(u"UPDATE Comments SET PostID = ?, JournalID = ?, CommentID = ?, Sent = 1, "
            u"HandedOver = NULL, AddDate = ?"_s +
                where,
            {item.postId, item.journalId, item.commentId, now, outcome.key});
    }
}

void Outbox::remove(const SendOutcome& outcome) {
    const auto [table, key] = messageTable(outcome.kind);
    // Only a message of the outbox: never a sent or a received one.
    run(u"DELETE FROM "_s + table + u" WHERE "_s + key + u" = ? AND "_s +
            unsentCondition(outcome.kind),
        {outcome.key});
}

void Outbox::setPending(Kind kind, qint64 key, const QString* error) {
    const QString table = messageTable(kind).table;
    if (!error) {
        run(u"DELETE FROM PendingDecisions WHERE Tbl = ? AND MessageKey = ?"_s, {table, key});
        return;
    }
    run(u"INSERT OR REPLACE INTO PendingDecisions (Tbl, MessageKey, Error) VALUES (?, ?, ?)"_s,
        {table, key, *error});
}

std::vector<PendingDecision> Outbox::awaitingDecision() {
    std::vector<std::tuple<Kind, qint64, QString>> waiting;
    Statement& q =
        statement(u"SELECT Tbl, MessageKey, Error FROM PendingDecisions ORDER BY rowid"_s);
    while (q.next()) {
        for (const Kind kind : {Kind::Post, Kind::Comment, Kind::Private}) {
            if (messageTable(kind).table == q.text(0)) {
                waiting.emplace_back(kind, q.integer(1), q.text(2));
            }
        }
    }
    q.finish();
    std::vector<PendingDecision> pending;
    for (const auto& [kind, key, error] : waiting) {
        const auto row = find(kind, key);
        if (row && !row->sent) {
            pending.push_back({*row, error});
            continue;
        }
        Database::Transaction transaction(m_db, Database::Transaction::OnFailure::RollBack);
        setPending(kind, key, nullptr);
        transaction.commit();
    }
    return pending;
}

void Outbox::markHandedOver(Kind kind, const std::vector<qint64>& keys, const QVariant& when) {
    const auto [table, key] = messageTable(kind);
    run(u"UPDATE "_s + table + u" SET HandedOver = ? WHERE "_s + unsentCondition(kind) +
            u" AND "_s + key + u" IN (SELECT value FROM json_each(?))"_s,
        {when, jsonArray(keys)});
}

void Outbox::handOver(Kind kind, const std::vector<qint64>& keys) {
    Database::Transaction transaction(m_db, Database::Transaction::OnFailure::RollBack);
    markHandedOver(kind, keys, StoredDate::now());
    transaction.commit();
}

void Outbox::takeBack(Kind kind, const std::vector<qint64>& keys) {
    Database::Transaction transaction(m_db, Database::Transaction::OnFailure::RollBack);
    markHandedOver(kind, keys, QVariant());
    transaction.commit();
}

qint64 Outbox::addPost(const OutgoingMessage& post) {
    Database::Transaction transaction(m_db, Database::Transaction::OnFailure::RollBack);
    const qint64 key =
        run(u"INSERT INTO Posts (Message, Header, uName, New, Deleted, Sent, Messagedate, "
            u"out_ParseURL, out_Nocomment, out_Privatepost, out_Subscribe, PostID, JournalID, "
            u"AttachPath) VALUES (?, ?, ?, 0, 0, 0, ?, ?, ?, ?, ?, '', '', ?)"_s,
            {post.message, post.header, post.userName, post.date, int(post.parseUrl),
             int(post.noComment), int(post.privatePost), int(post.subscribe), post.attachPath})
            .lastInsertId();
    run(u"UPDATE Posts SET PostID = ? WHERE ThisID = ?"_s,
        {QString(u"tmp"_s + QString::number(key)), key});
    SearchIndex(m_db).reindex(Kind::Post, key);
    transaction.commit();
    return key;
}

qint64 Outbox::addComment(const OutgoingMessage& comment) {
    Database::Transaction transaction(m_db, Database::Transaction::OnFailure::RollBack);
    const qint64 key =
        run(u"INSERT INTO Comments (Messagedate, Header, Message, uName, New, Deleted, Sent, "
            u"out_Subscribe, out_ParseURL, PostID, JournalID, CommentID, AttachPath) "
            u"VALUES (?, ?, ?, ?, 0, 0, 0, ?, ?, ?, '', '', ?)"_s,
            {comment.date, comment.header, comment.message, comment.userName,
             int(comment.subscribe), int(comment.parseUrl), comment.postId, comment.attachPath})
            .lastInsertId();
    run(u"UPDATE Comments SET CommentID = ? WHERE ThisID = ?"_s,
        {QString(u"tmp"_s + QString::number(key)), key});
    SearchIndex(m_db).reindex(Kind::Comment, key);
    transaction.commit();
    return key;
}

qint64 Outbox::addPrivate(const OutgoingMessage& message) {
    Database::Transaction transaction(m_db, Database::Transaction::OnFailure::RollBack);
    const qint64 key =
        run(u"INSERT INTO PrivateMessages (Message, uName, New, Deleted, Sent, Messagedate, Out) "
            u"VALUES (?, ?, 0, 0, 0, ?, 1)"_s,
            {message.message, message.userName, message.date})
            .lastInsertId();
    SearchIndex(m_db).reindex(Kind::Private, key);
    transaction.commit();
    return key;
}

bool Outbox::updatePost(const OutgoingMessage& post) {
    Database::Transaction transaction(m_db, Database::Transaction::OnFailure::RollBack);
    Statement& q =
        run(u"UPDATE Posts SET out_ParseURL = ?, out_Nocomment = ?, out_Privatepost = ?, "
            u"out_Subscribe = ?, Header = ?, Message = ? WHERE ThisID = ? AND Sent = 0"_s,
            {int(post.parseUrl), int(post.noComment), int(post.privatePost), int(post.subscribe),
             post.header, post.message, post.key});
    if (q.changes() != 1) {
        return false;
    }
    SearchIndex(m_db).reindex(Kind::Post, post.key);
    transaction.commit();
    return true;
}

bool Outbox::updateComment(const OutgoingMessage& comment) {
    Database::Transaction transaction(m_db, Database::Transaction::OnFailure::RollBack);
    Statement& q = run(u"UPDATE Comments SET out_ParseURL = ?, out_Subscribe = ?, Header = ?, "
                       u"Message = ? WHERE ThisID = ? AND Sent = 0"_s,
                       {int(comment.parseUrl), int(comment.subscribe), comment.header,
                        comment.message, comment.key});
    if (q.changes() != 1) {
        return false;
    }
    SearchIndex(m_db).reindex(Kind::Comment, comment.key);
    transaction.commit();
    return true;
}

bool Outbox::updatePrivate(const OutgoingMessage& message) {
    Database::Transaction transaction(m_db, Database::Transaction::OnFailure::RollBack);
    Statement& q = run(u"UPDATE PrivateMessages SET Message = ?, uName = ?, New = 0, Deleted = 0, "
                       u"Sent = 0, Messagedate = ?, Out = 1 WHERE ID = ? AND Sent = 0 AND "
                       u"Out <> 0"_s,
                       {message.message, message.userName, message.date, message.key});
    if (q.changes() != 1) {
        return false;
    }
    SearchIndex(m_db).reindex(Kind::Private, message.key);
    transaction.commit();
    return true;
}

} // namespace orv
