#pragma once

#include "store/MessageRef.h"

#include <QString>
#include <vector>

namespace orv {

struct OutgoingMessage;
struct Settings;

// The request documents that publish the outbox: one query element per
// message, each ending in "</query>" and an empty line.
namespace SendQueries {

// The kind words that name an attachment.
inline const QString Post = QStringLiteral("Post");
inline const QString Comment = QStringLiteral("Comment");

// The document for one batch: a query element for each message, in order.
QString BuildSendPostQuery(const Settings& settings, const std::vector<OutgoingMessage>& batch);

// The QID that names the message in a request and in its answer: "post-",
// "comment-" or "privat-" and the local key.
QString qidOf(MessageRef::Kind kind, qint64 key);

// One message's query element, with its final empty line.
QString queryElement(const OutgoingMessage& message);

} // namespace SendQueries
} // namespace orv
