#pragma once

#include "store/MessageRef.h"

#include <QString>
#include <optional>

namespace orv {

// A tree node's key: "friendpostkey-PostID-ThisID", "commkey-CommentID-ThisID",
// "privkey-ID", "key-" + diary owner, or a fixed node's name.
class NodeKey {
public:
    static inline const QString Post = QStringLiteral("friendpostkey");
    static inline const QString Comment = QStringLiteral("commkey");
    static inline const QString Private = QStringLiteral("privkey");
    static inline const QString Diary = QStringLiteral("key");

    explicit NodeKey(const QString& key);

    static QString post(const QString& postId, qint64 thisId);
    static QString comment(const QString& commentId, qint64 thisId);
    static QString privateMessage(qint64 id);
    static QString diary(const QString& owner);
    // The key of the node that shows the stored message.
    static QString of(const MessageRef& message);

    const QString& kind() const { return m_kind; }
    // The service identifier of a post or comment: everything between the
    // kind and the local identifier, so one holding "-" stays whole.
    QString serviceId() const;
    // The local identifier, the last piece: ThisID of a post or comment, ID of
    // a private message.
    QString localId() const;
    // The stored message a post, comment or private-message node stands for.
    std::optional<MessageRef> message() const;
    // The owner of a diary node: everything after the first "-".
    QString owner() const { return m_key.section(u'-', 1); }

private:
    QString m_key;
    QString m_kind;
};

} // namespace orv
