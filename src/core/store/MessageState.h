#pragma once

#include "MessageRef.h"

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

    // Whether the message was sent; true when it is no longer stored. A
    // comment is found by its service identifier.
    bool isSent(const MessageRef& message);

    // Marks the message read and returns its flags afterwards; nothing when
    // no row has its local identifier.
    std::optional<Flags> markRead(const MessageRef& message);
    // The owner's new posts and their comments.
    void markDiaryRead(const QString& owner);
    // Every post and comment; private messages stay as they are.
    void markAllRead();

private:
    Database& m_db;
};

} // namespace orv
