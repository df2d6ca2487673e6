#include "NodeKey.h"

using namespace Qt::StringLiterals;

namespace orv {

NodeKey::NodeKey(const QString& key)
    : m_key(key)
    , m_pieces(key.split(u'-'))
    , m_kind(m_pieces.first()) {}

QString NodeKey::post(const QString& postId, qint64 thisId) {
    return Post + u'-' + postId + u'-' + QString::number(thisId);
}

QString NodeKey::comment(const QString& commentId, qint64 thisId) {
    return Comment + u'-' + commentId + u'-' + QString::number(thisId);
}

QString NodeKey::privateMessage(qint64 id) {
    return Private + u'-' + QString::number(id);
}

QString NodeKey::diary(const QString& owner) {
    return Diary + u'-' + owner;
}

QString NodeKey::localId() const {
    return m_kind == Private ? m_pieces.value(1) : m_pieces.value(2);
}

} // namespace orv
