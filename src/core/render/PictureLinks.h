#pragma once

#include <QString>
#include <QStringList>

namespace orv {

// The web pictures a piece of HTML shows: the src of every <img> element,
// whatever the case of the tag and the quoting of the attribute, with the
// references an author may write in an address (&amp;) read. One pass over
// the text, so a hostile body costs no more than its length.
namespace PictureLinks {

QStringList inHtml(QStringView html);

// An address a picture may be fetched from: http or https.
bool fetchable(const QString& url);

} // namespace PictureLinks
} // namespace orv
