#pragma once

#include <QString>
#include <optional>

namespace orv {

class Database;

// Read and sent flags of stored messages. All calls throw OrvError.
class MessageState {
public:
    struct Flags {
        bool isNew = false;
        bool sent = false;
    };

    explicit MessageState(Database& db);

    // Whether the message behind a node key was sent; true when it is no
    // longer stored.
    bool isSent(const QString& nodeKey);
    // The local ThisID of the first post with the service identifier.
    std::optional<qint64> postThisId(const QString& postId);

    // Marks one post ("friendpostkey"), comment ("commkey") or private message
    // ("privkey") read and returns its flags afterwards; nothing when no single
    // row has the identifier.
    std::optional<Flags> markRead(const QString& kind, qint64 localId);
    // The owner's new posts and their comments.
    void markDiaryRead(const QString& owner);
    // Every post and comment; private messages stay as they are.
    void markAllRead();

private:
    Database& m_db;
};

} // namespace orv
