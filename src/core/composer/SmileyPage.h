#pragma once

#include "store/SmileStore.h"

#include <QString>
#include <vector>

namespace orv {

class Database;
class WorkingFolder;

// The page of the smiley picker, tmp/smile.htm: a one-column table with one
// link a smiley, "http://" followed by its code, around its picture.
namespace SmileyPage {

QString path(const WorkingFolder& folder);

// The page's text, its lines joined with CR LF (the file's last CR LF is the
// writer's). Every row line is followed by an empty line. In a code or an
// address, &, ', ", < and > and the characters Windows-1251 lacks are written as
// character references, so that each stays one attribute and reads back as it
// was; any other code is written as it stands.
QString text(const std::vector<Smiley>& smileys);

// An attribute value of the page read back: numeric references and the five
// XML entities become their characters; any other text, a lone "&" or an HTML
// name such as "&nbsp;" included, stays as it is.
QString attributeText(const QString& value);

// Writes the page anew from the catalogue in ID order, in Windows-1251. An
// empty catalogue writes nothing: the page written last stays. Returns whether
// the file was written. Throws OrvError.
bool write(const WorkingFolder& folder, Database& db);

} // namespace SmileyPage
} // namespace orv
