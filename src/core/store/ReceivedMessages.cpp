#include "ReceivedMessages.h"

#include "Database.h"
#include "FetchStack.h"
#include "KeptAnswers.h"
#include "SearchIndex.h"
#include "StoredDate.h"
#include "app/Escaping.h"
#include "app/OrvError.h"

#include <QVariant>
#include <optional>

using namespace Qt::StringLiterals;

namespace orv {
namespace {

// The first row the query finds, or nothing.
QVariant firstRow(QSqlQuery& query) {
    Database::exec(query);
    const QVariant id = query.next() ? query.value(0) : QVariant();
    query.finish();
    return id;
}

// Overwrites the stored row (its identifier bound last) or adds a new one;
// returns the row's local identifier.
qint64 writeRow(QSqlQuery& overwrite, QSqlQuery& insert, const QVariant& stored,
                const QVariantList& values) {
    QSqlQuery& write = stored.isValid() ? overwrite : insert;
    for (int i = 0; i < values.size(); ++i) {
        write.bindValue(i, values[i]);
    }
    if (stored.isValid()) {
        write.bindValue(int(values.size()), stored);
    }
    Database::exec(write);
    return stored.isValid() ? stored.toLongLong() : write.lastInsertId().toLongLong();
}

// The user's outgoing rows of one kind whose send answer was lost, read once
// per stored answer (there are seldom any), each taken by the first received
// copy that matches it.
class RowsInDoubt {
public:
    RowsInDoubt(Database& db, MessageRef::Kind kind, const QString& ownName)
        : m_ownName(ownName)
        , m_samePost(kind == MessageRef::Kind::Comment) {
        if (ownName.isEmpty()) {
            return;
        }
        QSqlQuery q = db.prepare(u"SELECT ThisID, Header, Message, PostID FROM "_s +
                                 messageTable(kind).table +
                                 u" WHERE Sent = 0 AND HandedOver IS NOT NULL ORDER BY ThisID"_s);
        Database::exec(q);
        while (q.next()) {
            m_rows.push_back({q.value(0), comparable(q.value(1).toString()),
                              comparable(q.value(2).toString()), q.value(3).toString()});
        }
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

} // namespace

ReceivedMessages::ReceivedMessages(Database& db, QString ownName)
    : m_db(db)
    , m_ownName(std::move(ownName)) {}

void ReceivedMessages::markOwnRead(MessageRef::Kind kind, qint64 id, const QString& author) {
    // The user wrote it: nothing in it is new to them.
    if (m_ownName.isEmpty() || author.compare(m_ownName, Qt::CaseInsensitive) != 0) {
        return;
    }
    const auto [table, key] = messageTable(kind);
    QSqlQuery read =
        m_db.prepare(u"UPDATE "_s + table + u" SET New = 0 WHERE "_s + key + u" = ?"_s);
    read.addBindValue(id);
    Database::exec(read);
}

StoreReport ReceivedMessages::savePosts(const std::vector<ReceivedPost>& posts) {
    const QString now = StoredDate::now();
    Database::Transaction transaction(m_db, Database::Transaction::OnFailure::RollBack);
    SearchIndex index(m_db);
    FetchStack stack(m_db);
    QSqlQuery find = m_db.prepare(
        u"SELECT ThisID FROM Posts WHERE PostID = ? AND Deleted = 0 ORDER BY ThisID LIMIT 1"_s);
    QSqlQuery overwrite = m_db.prepare(
        u"UPDATE Posts SET Message = ?, Header = ?, Messagedate = ?, uName = ?, PostID = ?, "
        u"JournalID = ?, New = 1, AddDate = ? WHERE ThisID = ?"_s);
    QSqlQuery insert = m_db.prepare(
        u"INSERT INTO Posts (Message, Header, Messagedate, uName, PostID, JournalID, New, Sent, "
        u"Deleted, AddDate) VALUES (?, ?, ?, ?, ?, ?, 1, 1, 0, ?)"_s);
    QSqlQuery settle = m_db.prepare(
        u"UPDATE Posts SET Message = ?, Header = ?, Messagedate = ?, uName = ?, PostID = ?, "
        u"JournalID = ?, New = 0, Sent = 1, HandedOver = NULL, AddDate = ? WHERE ThisID = ?"_s);
    RowsInDoubt inDoubt(m_db, MessageRef::Kind::Post, m_ownName);
    StoreReport report;
    QStringList done;
    for (const ReceivedPost& post : posts) {
        const auto date = storedDate(post.date, post.postId, report);
        if (!date) {
            stack.markFailed(post.postId, FetchStack::Posts);
            continue;
        }
        find.bindValue(0, post.postId);
        QVariant stored = firstRow(find);
        const QVariant settled =
            stored.isValid() ? QVariant() : inDoubt.take(post.userName, post.header, post.message);
        if (settled.isValid()) {
            stored = settled;
        }
        if (stored.isValid() || !post.journalId.isEmpty()) {
            const qint64 id = writeRow(settled.isValid() ? settle : overwrite, insert, stored,
                                       {post.message, post.header, *date, post.userName,
                                        post.postId, post.journalId, now});
            index.put(MessageRef::Kind::Post, id, post.userName, post.header, post.message);
            markOwnRead(MessageRef::Kind::Post, id, post.userName);
            ++report.stored;
        }
        done.append(post.postId);
    }
    stack.markDone(done, FetchStack::Posts);
    transaction.commit();
    return report;
}

StoreReport ReceivedMessages::saveComments(const std::vector<ReceivedComment>& comments) {
    const QString now = StoredDate::now();
    Database::Transaction transaction(m_db, Database::Transaction::OnFailure::RollBack);
    SearchIndex index(m_db);
    FetchStack stack(m_db);
    QSqlQuery find = m_db.prepare(u"SELECT ThisID FROM Comments WHERE CommentID = ? AND "
                                  u"Deleted = 0 ORDER BY ThisID LIMIT 1"_s);
    QSqlQuery overwrite = m_db.prepare(
        u"UPDATE Comments SET Message = ?, Header = ?, Messagedate = ?, uName = ?, PostID = ?, "
        u"CommentID = ?, JournalID = ?, Sent = 1, AddDate = ? WHERE ThisID = ?"_s);
    QSqlQuery insert = m_db.prepare(
        u"INSERT INTO Comments (Message, Header, Messagedate, uName, PostID, CommentID, "
        u"JournalID, New, Sent, Deleted, AddDate) VALUES (?, ?, ?, ?, ?, ?, ?, 1, 1, 0, ?)"_s);
    QSqlQuery settle = m_db.prepare(
        u"UPDATE Comments SET Message = ?, Header = ?, Messagedate = ?, uName = ?, PostID = ?, "
        u"CommentID = ?, JournalID = ?, New = 0, Sent = 1, HandedOver = NULL, AddDate = ? "
        u"WHERE ThisID = ?"_s);
    RowsInDoubt inDoubt(m_db, MessageRef::Kind::Comment, m_ownName);
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
        find.bindValue(0, comment.commentId);
        QVariant stored = firstRow(find);
        const QVariant settled = stored.isValid() ? QVariant()
                                                  : inDoubt.take(comment.userName, comment.header,
                                                                 comment.message, comment.postId);
        if (settled.isValid()) {
            stored = settled;
        }
        const qint64 id = writeRow(settled.isValid() ? settle : overwrite, insert, stored,
                                   {comment.message, comment.header, *date, comment.userName,
                                    comment.postId, comment.commentId, comment.journalId, now});
        index.put(MessageRef::Kind::Comment, id, comment.userName, comment.header, comment.message);
        markOwnRead(MessageRef::Kind::Comment, id, comment.userName);
        ++report.stored;
        done.append(comment.commentId);
    }
    stack.markDone(done, FetchStack::Comments);
    transaction.commit();
    return report;
}

StoreReport ReceivedMessages::savePrivates(const std::vector<ReceivedPrivate>& messages,
                                           std::optional<qint64> keptAnswer) {
    const QString now = StoredDate::now();
    Database::Transaction transaction(m_db, Database::Transaction::OnFailure::RollBack);
    SearchIndex index(m_db);
    QSqlQuery find = m_db.prepare(u"SELECT ID FROM PrivateMessages WHERE Message = ? AND "
                                  u"Messagedate = ? AND uName = ? ORDER BY ID LIMIT 1"_s);
    QSqlQuery overwrite = m_db.prepare(
        u"UPDATE PrivateMessages SET Message = ?, Messagedate = ?, uName = ?, New = 1, Sent = 1, "
        u"Deleted = 0, AddDate = ? WHERE ID = ?"_s);
    QSqlQuery insert = m_db.prepare(
        u"INSERT INTO PrivateMessages (Message, Messagedate, uName, New, Sent, Deleted, AddDate) "
        u"VALUES (?, ?, ?, 1, 1, 0, ?)"_s);
    StoreReport report;
    for (const ReceivedPrivate& message : messages) {
        if (message.date == NoDate || message.date.isEmpty()) {
            continue;
        }
        const auto date = storedDate(message.date, message.userName, report);
        if (!date) {
            continue;
        }
        find.bindValue(0, message.message);
        find.bindValue(1, *date);
        find.bindValue(2, message.userName);
        const QVariant stored = firstRow(find);
        const qint64 id =
            writeRow(overwrite, insert, stored, {message.message, *date, message.userName, now});
        index.put(MessageRef::Kind::Private, id, message.userName, QString(), message.message);
        markOwnRead(MessageRef::Kind::Private, id, message.userName);
        ++report.stored;
    }
    if (keptAnswer) {
        KeptAnswers(m_db).drop(*keptAnswer);
    }
    transaction.commit();
    return report;
}

} // namespace orv
