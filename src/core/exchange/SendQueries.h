#pragma once

#include "store/MessageRef.h"

#include <QString>
#include <optional>
#include <vector>

namespace orv {

class Outbox;
struct OutgoingMessage;
struct Settings;

// The request documents that publish the outbox: one query element per
// message, each ending in "</query>" and an empty line.
namespace SendQueries {

// The kind words of the outgoing queue, in the order they are sent.
inline const QString Post = QStringLiteral("Post");
inline const QString Comment = QStringLiteral("Comment");
inline const QString Private = QStringLiteral("Private");

// The kind a word of the outgoing queue names; nothing for any other word.
std::optional<MessageRef::Kind> kindOf(const QString& word);

// The document for one batch: the rows behind the keys, in order, of the kind
// ("Post", "Comment" or "Private"); a key whose row is gone adds nothing.
// Empty text for any other kind. Throws OrvError when the store fails.
QString BuildSendPostQuery(const Settings& settings, Outbox& outbox,
                           const std::vector<qint64>& keys, const QString& kind);

// One message's query element, with its final empty line.
QString queryElement(const OutgoingMessage& message);

} // namespace SendQueries
} // namespace orv
