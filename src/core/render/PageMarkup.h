#pragma once

#include <QString>

namespace orv {

// Pieces of the generated pages that the window's view finds again and
// adjusts for its rich-text engine. The page builder writes them from here and
// the view searches for them from here, so neither can change one alone.
namespace PageMarkup {

// The font of the whole page.
inline const QString FontStyle =
    QStringLiteral("style='font-size: 10pt; font-family: Verdana, Arial, Helvetica, sans-serif;'");

// The page's body, with one font element around everything in it.
inline const QString BodyOpen =
    QStringLiteral("<body bgcolor=#d4d0c8><font ") + FontStyle + QStringLiteral(">");
inline const QString PageClose = QStringLiteral("</font></body></html>");

// The end of the right-aligned download date, and the blank that starts the
// line after it.
inline const QString DownloadDateEnd = QStringLiteral("</div>");
inline const QString InfoLineStart = QStringLiteral("&nbsp;");

// Between a comment's title row and its text row.
inline const QString CommentRowBreak = QStringLiteral("</tr><br><tr>");

// The rule above each comment.
inline const QString CommentRule = QStringLiteral("<hr>");

} // namespace PageMarkup
} // namespace orv
