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

} // namespace orv
