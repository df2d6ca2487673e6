#include "NodeKey.h"

using namespace Qt::StringLiterals;

namespace orv {

NodeKey::NodeKey(const QString& key)
    : m_key(key)
    , m_kind(key.section(u'-', 0, 0)) {}

QString NodeKey::post(const QString& postId, qint64 thisId) {
    return Post + u'-' + postId + u'-' + QString::number(thisId);
}

QString NodeKey::comment(const QString& commentId, qint64 thisId) {
    return Comment + u'-' + commentId + u'-' + QString::number(thisId);
}

QString NodeKey::privateMessage(qint64 id) {
    return Private + u'-' + QString::number(id);
}

QString NodeKey::of(const MessageRef& message) {
    switch (message.kind) {
    case MessageRef::Kind::Comment:
        return comment(message.serviceId, message.localId);
    case MessageRef::Kind::Private:
        return privateMessage(message.localId);
    case MessageRef::Kind::Post:
        break;
    }
    return post(message.serviceId, message.localId);
}

QString NodeKey::diary(const QString& owner) {
    return Diary + u'-' + owner;
}

QString NodeKey::serviceId() const {
    const qsizetype first = m_key.indexOf(u'-');
    const qsizetype last = m_key.lastIndexOf(u'-');
    return first < 0 || last <= first ? QString() : m_key.mid(first + 1, last - first - 1);
}

std::optional<MessageRef> NodeKey::message() const {
    MessageRef ref;
    if (m_kind == Post) {
        ref.kind = MessageRef::Kind::Post;
    } else if (m_kind == Comment) {
        ref.kind = MessageRef::Kind::Comment;
    } else if (m_kind == Private) {
        ref.kind = MessageRef::Kind::Private;
    } else {
        return std::nullopt;
    }
    ref.localId = localId().toLongLong();
    ref.serviceId = serviceId();
    return ref;
}

QString NodeKey::localId() const {
    const qsizetype last = m_key.lastIndexOf(u'-');
    return last < 0 ? QString() : m_key.mid(last + 1);
}

} // namespace orv
