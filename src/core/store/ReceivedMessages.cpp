#include "ReceivedMessages.h"

#include "Database.h"
#include "FetchStack.h"
#include "KeptAnswers.h"
#include "SearchIndex.h"
#include "Statement.h"
#include "StoredDate.h"
#include "app/Escaping.h"
#include "app/OrvError.h"

#include <QHash>
#include <QVariant>
#include <functional>
#include <optional>

using namespace Qt::StringLiterals;

namespace orv {
namespace {

// The first row the query finds, or nothing.
QVariant firstRow(Statement& query) {
    const QVariant id = query.next() ? QVariant(query.integer(0)) : QVariant();
    query.finish();
    return id;
}

// The stored row of each identifier that has one (the first not deleted),
// found with one query for the whole batch. The query takes the identifiers
// as a JSON array and gives identifier and row. A null identifier matches no
// row, as an SQL NULL would.
template <typename Item>
QHash<QString, qint64> storedRows(Statement& find, const std::vector<Item>& items,
                                  QString Item::*id) {
    QStringList asked;
    for (const Item& item : items) {
        if (!(item.*id).isNull()) {
            asked.append(item.*id);
        }
    }
    QHash<QString, qint64> rows;
    if (asked.isEmpty()) {
        return rows;
    }
    find.bind(0, Database::jsonArray(asked));
    while (find.next()) {
        rows.insert(find.text(0), find.integer(1));
    }
    return rows;
}

QVariant storedRow(const QHash<QString, qint64>& known, const QString& id) {
    const auto row = known.constFind(id);
    return id.isNull() || row == known.cend() ? QVariant() : QVariant(*row);
}

// A row written for the identifier is the one a later item of the batch
// with the same identifier finds.
void noteRow(QHash<QString, qint64>& known, const QString& id, qint64 row) {
    if (!id.isNull()) {
        known.insert(id, row);
    }
}

// Overwrites the stored row (its identifier bound last) or adds a new one;
// returns the row's local identifier.
qint64 writeRow(Statement& overwrite, Statement& insert, const QVariant& stored,
                std::initializer_list<QVariant> values) {
    Statement& write = stored.isValid() ? overwrite : insert;
    int i = 0;
    for (const QVariant& value : values) {
        write.bind(i++, value);
    }
    if (stored.isValid()) {
        write.bind(i, stored);
    }
    write.exec();
    return stored.isValid() ? stored.toLongLong() : write.lastInsertId();
}

// The user's outgoing rows of one kind whose send answer was lost, read once
// per stored answer (there are seldom any), each taken by the first received
// copy that matches it.
class RowsInDoubt {
public:
    // The query is inDoubtSql() of the kind, prepared.
    RowsInDoubt(const std::function<Statement&()>& query, MessageRef::Kind kind,
                const QString& ownName)
        : m_ownName(ownName)
        , m_samePost(kind == MessageRef::Kind::Comment) {
        if (ownName.isEmpty()) {
            return;
        }
        Statement& q = query();
        while (q.next()) {
            m_rows.push_back(
                {QVariant(q.integer(0)), comparable(q.text(1)), comparable(q.text(2)), q.text(3)});
        }
    }

    static QString inDoubtSql(MessageRef::Kind kind) {
        return u"SELECT ThisID, Header, Message, PostID FROM "_s + messageTable(kind).table +
               u" WHERE Sent = 0 AND HandedOver IS NOT NULL ORDER BY ThisID"_s;
    }

    // The row the received copy settles, or nothing. A comment must answer
    // the same post.
    QVariant take(const QString& author, const QString& header, const QString& message,
                  const QString& postId = {}) {
        if (m_rows.empty() || author.compare(m_ownName, Qt::CaseInsensitive) != 0) {
            return {};
        }
        const QString h = comparable(header);
        const QString m = comparable(message);
        for (auto row = m_rows.begin(); row != m_rows.end(); ++row) {
            if (row->header == h && row->message == m && (!m_samePost || row->postId == postId)) {
                const QVariant key = row->key;
                m_rows.erase(row);
                return key;
            }
        }
        return {};
    }

private:
    struct Row {
        QVariant key;
        QString header, message, postId;
    };

    // The service keeps what went out with its entities decoded once, and its
    // XML reading drops carriage returns: compare the texts as characters.
    static QString comparable(const QString& text) {
        return Escaping::decode(text).remove(u'\r').trimmed();
    }

    const QString m_ownName;
    const bool m_samePost;
    std::vector<Row> m_rows;
};

// The service's date as stored, or nothing, with the item noted as failed.
std::optional<QString> storedDate(const QString& serviceText, const QString& item,
                                  StoreReport& report) {
    try {
        return StoredDate::fromServiceText(serviceText);
    } catch (const OrvError& error) {
        report.failed.emplace_back(item, error.text());
        return std::nullopt;
    }
}

enum StatementName {
    FindPosts,
    OverwritePost,
    InsertPost,
    SettlePost,
    PostsInDoubt,
    FindComments,
    OverwriteComment,
    InsertComment,
    SettleComment,
    CommentsInDoubt,
    FindPrivate,
    OverwritePrivate,
    InsertPrivate,
    StatementCount
};

// The first row not deleted of each service identifier of a JSON array.
QString findSql(const QString& table, const QString& id) {
    return u"SELECT "_s + id + u", min(ThisID) FROM "_s + table + u" WHERE "_s + id +
           u" IN (SELECT value FROM json_each(?)) AND Deleted = 0 GROUP BY "_s + id;
}

// The columns a received item fills, in the order its values are bound.
const QStringList& columnsOf(MessageRef::Kind kind) {
    static const QStringList posts = {u"Message"_s, u"Header"_s, u"Messagedate"_s,
                                      u"uName"_s,   u"PostID"_s, u"JournalID"_s};
    static const QStringList comments = {u"Message"_s, u"Header"_s,    u"Messagedate"_s, u"uName"_s,
                                         u"PostID"_s,  u"CommentID"_s, u"JournalID"_s};
    static const QStringList privates = {u"Message"_s, u"Messagedate"_s, u"uName"_s};
    return kind == MessageRef::Kind::Post      ? posts
           : kind == MessageRef::Kind::Comment ? comments
                                               : privates;
}

// Every write binds the item's columns, then whether the row is unread (what
// the user wrote is stored read, in the same statement), then AddDate.

// Overwrites a stored row: the item's columns, the fixed values (New bound
// where %1 stands), AddDate, then the row's key.
QString updateSql(MessageRef::Kind kind, const QString& fixed) {
    const MessageTable table = messageTable(kind);
    const QStringList& columns = columnsOf(kind);
    const int n = int(columns.size());
    QStringList set;
    for (int i = 0; i < n; ++i) {
        set.append(columns[i] + u" = ?"_s);
    }
    return u"UPDATE "_s + table.table + u" SET "_s + set.join(u", "_s) + u", "_s +
           fixed.arg(u"?"_s) + u", AddDate = ? WHERE "_s + table.key + u" = ?"_s;
}

// Adds a row, sent and not deleted: the item's columns, New, then AddDate.
QString insertSql(MessageRef::Kind kind) {
    const QStringList& columns = columnsOf(kind);
    return u"INSERT INTO "_s + messageTable(kind).table + u" ("_s + columns.join(u", "_s) +
           u", New, Sent, Deleted, AddDate) VALUES ("_s +
           QStringList(columns.size() + 1, u"?"_s).join(u", "_s) + u", 1, 0, ?)"_s;
}

QString sqlOf(StatementName statement) {
    using Kind = MessageRef::Kind;
    const QString settled = u"New = %1, Sent = 1, HandedOver = NULL"_s;
    switch (statement) {
    case FindPosts:
        return findSql(u"Posts"_s, u"PostID"_s);
    case OverwritePost:
        return updateSql(Kind::Post, u"New = %1"_s);
    case InsertPost:
        return insertSql(Kind::Post);
    case SettlePost:
        return updateSql(Kind::Post, settled);
    case PostsInDoubt:
        return RowsInDoubt::inDoubtSql(Kind::Post);
    case FindComments:
        return findSql(u"Comments"_s, u"CommentID"_s);
    case OverwriteComment:
        // An overwritten comment keeps New, unless the user wrote it (0 binds).
        return updateSql(Kind::Comment, u"New = min(New, %1), Sent = 1"_s);
    case InsertComment:
        return insertSql(Kind::Comment);
    case SettleComment:
        return updateSql(Kind::Comment, settled);
    case CommentsInDoubt:
        return RowsInDoubt::inDoubtSql(Kind::Comment);
    case FindPrivate:
        return u"SELECT ID FROM PrivateMessages WHERE Message = ? AND Messagedate = ? AND uName = "
               u"? ORDER BY ID LIMIT 1"_s;
    case OverwritePrivate:
        return updateSql(Kind::Private, u"New = %1, Sent = 1, Deleted = 0"_s);
    case InsertPrivate:
    case StatementCount:
        break;
    }
    return insertSql(Kind::Private);
}

} // namespace

struct ReceivedMessages::HeldEntry {
    MessageRef::Kind kind;
    qint64 id;
    QString author, title, body;
};

// What an instance keeps from one call to the next.
struct ReceivedMessages::Prepared {
    explicit Prepared(Database& db)
        : index(db)
        , stack(db) {}

    SearchIndex index;
    FetchStack stack;
    std::optional<Statement> queries[StatementCount];
    bool holding = false;
    std::vector<HeldEntry> held; // in the order stored: a later entry of a row wins
};

class ReceivedMessages::HeldSince {
public:
    explicit HeldSince(ReceivedMessages& store)
        : m_held(store.m_prepared->held)
        , m_since(m_held.size()) {}
    ~HeldSince() {
        if (!m_kept) {
            m_held.resize(m_since);
        }
    }
    HeldSince(const HeldSince&) = delete;
    HeldSince& operator=(const HeldSince&) = delete;
    void keep() { m_kept = true; }

private:
    std::vector<HeldEntry>& m_held;
    const size_t m_since;
    bool m_kept = false;
};

ReceivedMessages::IndexHold::IndexHold(ReceivedMessages& store)
    : m_store(store) {
    m_store.m_prepared->holding = true;
}

ReceivedMessages::IndexHold::~IndexHold() {
    m_store.m_prepared->holding = false;
    m_store.m_prepared->held.clear();
}

void ReceivedMessages::IndexHold::write() {
    Prepared& prepared = *m_store.m_prepared;
    const std::vector<HeldEntry> held = std::exchange(prepared.held, {});
    for (const HeldEntry& entry : held) {
        prepared.index.put(entry.kind, entry.id, entry.author, entry.title, entry.body);
    }
}

void ReceivedMessages::index(MessageRef::Kind kind, qint64 id, const QString& author,
                             const QString& title, const QString& body) {
    if (!m_indexed) {
        return;
    }
    if (m_prepared->holding) {
        m_prepared->held.push_back({kind, id, author, title, body});
        return;
    }
    m_prepared->index.put(kind, id, author, title, body);
}

ReceivedMessages::ReceivedMessages(Database& db, QString ownName, Search search)
    : m_db(db)
    , m_ownName(std::move(ownName))
    , m_indexed(search == Search::On)
    , m_prepared(std::make_unique<Prepared>(db)) {}

ReceivedMessages::~ReceivedMessages() = default;

Statement& ReceivedMessages::query(int statement) {
    std::optional<Statement>& slot = m_prepared->queries[statement];
    if (!slot) {
        slot.emplace(m_db, sqlOf(StatementName(statement)));
    }
    return *slot;
}

int ReceivedMessages::unread(const QString& author) const {
    // The user wrote it: nothing in it is new to them.
    return !m_ownName.isEmpty() && author.compare(m_ownName, Qt::CaseInsensitive) == 0 ? 0 : 1;
}

StoreReport ReceivedMessages::savePosts(const std::vector<ReceivedPost>& posts) {
    const QString now = StoredDate::now();
    HeldSince held(*this);
    Database::Transaction transaction(m_db, Database::Transaction::OnFailure::RollBack);
    FetchStack& stack = m_prepared->stack;
    QHash<QString, qint64> known = storedRows(query(FindPosts), posts, &ReceivedPost::postId);
    RowsInDoubt inDoubt([this]() -> Statement& { return query(PostsInDoubt); },
                        MessageRef::Kind::Post, m_ownName);
    StoreReport report;
    QStringList done;
    for (const ReceivedPost& post : posts) {
        const auto date = storedDate(post.date, post.postId, report);
        if (!date) {
            stack.markFailed(post.postId, FetchStack::Posts);
            continue;
        }
        QVariant stored = storedRow(known, post.postId);
        const QVariant settled =
            stored.isValid() ? QVariant() : inDoubt.take(post.userName, post.header, post.message);
        if (settled.isValid()) {
            stored = settled;
        }
        if (stored.isValid() || !post.journalId.isEmpty()) {
            const qint64 id = writeRow(query(settled.isValid() ? SettlePost : OverwritePost),
                                       query(InsertPost), stored,
                                       {post.message, post.header, *date, post.userName,
                                        post.postId, post.journalId, unread(post.userName), now});
            noteRow(known, post.postId, id);
            index(MessageRef::Kind::Post, id, post.userName, post.header, post.message);
            ++report.stored;
        }
        done.append(post.postId);
    }
    stack.markDone(done, FetchStack::Posts);
    transaction.commit();
    held.keep();
    return report;
}

StoreReport ReceivedMessages::saveComments(const std::vector<ReceivedComment>& comments) {
    const QString now = StoredDate::now();
    HeldSince held(*this);
    Database::Transaction transaction(m_db, Database::Transaction::OnFailure::RollBack);
    FetchStack& stack = m_prepared->stack;
    QHash<QString, qint64> known =
        storedRows(query(FindComments), comments, &ReceivedComment::commentId);
    RowsInDoubt inDoubt([this]() -> Statement& { return query(CommentsInDoubt); },
                        MessageRef::Kind::Comment, m_ownName);
    StoreReport report;
    QStringList done;
    for (const ReceivedComment& comment : comments) {
        if (comment.date == NoDate) {
            done.append(comment.commentId);
            continue;
        }
        const auto date = storedDate(comment.date, comment.commentId, report);
        if (!date) {
            stack.markFailed(comment.commentId, FetchStack::Comments);
            continue;
        }
        QVariant stored = storedRow(known, comment.commentId);
        const QVariant settled = stored.isValid() ? QVariant()
                                                  : inDoubt.take(comment.userName, comment.header,
                                                                 comment.message, comment.postId);
        if (settled.isValid()) {
            stored = settled;
        }
        const qint64 id =
            writeRow(query(settled.isValid() ? SettleComment : OverwriteComment),
                     query(InsertComment), stored,
                     {comment.message, comment.header, *date, comment.userName, comment.postId,
                      comment.commentId, comment.journalId, unread(comment.userName), now});
        noteRow(known, comment.commentId, id);
        index(MessageRef::Kind::Comment, id, comment.userName, comment.header, comment.message);
        ++report.stored;
        done.append(comment.commentId);
    }
    stack.markDone(done, FetchStack::Comments);
    transaction.commit();
    held.keep();
    return report;
}

StoreReport ReceivedMessages::savePrivates(const std::vector<ReceivedPrivate>& messages,
                                           std::optional<qint64> keptAnswer) {
    const QString now = StoredDate::now();
    HeldSince held(*this);
    Database::Transaction transaction(m_db, Database::Transaction::OnFailure::RollBack);
    Statement& find = query(FindPrivate);
    StoreReport report;
    for (const ReceivedPrivate& message : messages) {
        if (message.date == NoDate || message.date.isEmpty()) {
            continue;
        }
        const auto date = storedDate(message.date, message.userName, report);
        if (!date) {
            continue;
        }
        find.bind(0, message.message).bind(1, *date).bind(2, message.userName);
        const QVariant stored = firstRow(find);
        const qint64 id =
            writeRow(query(OverwritePrivate), query(InsertPrivate), stored,
                     {message.message, *date, message.userName, unread(message.userName), now});
        index(MessageRef::Kind::Private, id, message.userName, QString(), message.message);
        ++report.stored;
    }
    if (keptAnswer) {
        KeptAnswers(m_db).drop(*keptAnswer);
    }
    transaction.commit();
    held.keep();
    return report;
}

} // namespace orv
