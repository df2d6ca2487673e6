#pragma once

#include <QString>
#include <QStringList>

namespace orv {

struct Settings;

// The request documents sent to the service: an envelope with the account and
// one or more queries, one element a line, CR LF between lines. Every value put
// into the document is XML-escaped.
namespace RequestDocuments {

// A whole document: the declaration, the QUERYS line, the given lines, the end.
QString envelope(const Settings& settings, const QStringList& queryLines,
                 const QString& declaredEncoding = QStringLiteral("utf-8"));

// "<name>" + escaped value + "</name>"
QString element(const QString& name, const QString& value);

QString getRel(const Settings& settings);
QString newPosts(const Settings& settings);
QString newComments(const Settings& settings);
QString newPrivates(const Settings& settings);
QString newSmiles(const Settings& settings);
// All comments of one post (declared in capitals, "UTF-8").
QString allComments(const Settings& settings, const QString& postId);

} // namespace RequestDocuments
} // namespace orv
