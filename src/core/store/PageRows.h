#pragma once

#include <QString>
#include <optional>
#include <vector>

namespace orv {

class Database;

// A stored post, comment or private message as its page shows it; dates in the
// service's form.
struct StoredMessage {
    QString message, header, uName, messageDate, journalId, postId, commentId, attachPath, addDate;
    bool isNew = false;
};

// Reads the rows a page shows. All calls throw OrvError.
class PageRows {
public:
    explicit PageRows(Database& db);

    std::optional<StoredMessage> post(qint64 thisId);
    // In ascending (text) order of CommentID.
    std::vector<StoredMessage> commentsOf(const QString& postId);
    std::optional<StoredMessage> comment(qint64 thisId);
    std::optional<StoredMessage> privateMessage(qint64 id);
    // The owner's name and diary identifier from the owner's first post.
    std::optional<std::pair<QString, QString>> diary(const QString& owner);

private:
    std::vector<StoredMessage> select(const QString& sql, const QVariant& value);

    Database& m_db;
};

} // namespace orv
