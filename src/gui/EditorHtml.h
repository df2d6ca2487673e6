#pragma once

#include <QString>

class QColor;
class QTextCharFormat;
class QTextDocument;

namespace orv {

// The editor's document as the body of a message: the small HTML the service
// takes (b, i, u, font with face, size and colour, a with href, br and text),
// never the document HTML of the editing widget. Attributes are quoted with
// apostrophes, as the outgoing text conversion leaves those alone.
namespace EditorHtml {

QString bodyOf(const QTextDocument& document);

// A font size 1 to 7 as the editor keeps it: relative to the normal size 3.
void setFontSize(QTextCharFormat& format, int size);

// The colour as the editor's colour command writes it: six hex digits RRGGBB.
QString colourText(const QColor& colour);

} // namespace EditorHtml
} // namespace orv
