#pragma once

#include <QString>

namespace orv {

// A stored message as the store knows it: its table and its identifiers.
struct MessageRef {
    enum class Kind { Post, Comment, Private };

    Kind kind = Kind::Post;
    qint64 localId = 0; // ThisID of a post or comment, ID of a private message
    QString serviceId;  // PostID or CommentID; empty for a private message
};

// Where the store keeps a kind: its table and the local identifier column.
struct MessageTable {
    QString table;
    QString key;
};

inline MessageTable messageTable(MessageRef::Kind kind) {
    switch (kind) {
    case MessageRef::Kind::Comment:
        return {QStringLiteral("Comments"), QStringLiteral("ThisID")};
    case MessageRef::Kind::Private:
        return {QStringLiteral("PrivateMessages"), QStringLiteral("ID")};
    case MessageRef::Kind::Post:
        break;
    }
    return {QStringLiteral("Posts"), QStringLiteral("ThisID")};
}

} // namespace orv
