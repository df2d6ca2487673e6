#pragma once

#include <QString>

namespace orv {

class Database;

// Deleting stored messages from the tree. All calls throw OrvError.
class MessageRemoval {
public:
    explicit MessageRemoval(Database& db);

    // The post and every comment on it.
    void deletePost(qint64 thisId);
    void deleteComment(qint64 thisId);
    void deletePrivate(qint64 id);
    // The owner's posts received from the service and the comments on them;
    // messages not yet sent stay. False when the owner has no stored post.
    bool deleteDiary(const QString& owner);

private:
    Database& m_db;
};

} // namespace orv
