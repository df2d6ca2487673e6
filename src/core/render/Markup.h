#pragma once

#include "store/SmileStore.h"

#include <QString>
#include <vector>

// The service's text forms: named entities and the bracket markup.
namespace orv::Markup {

// Named entities back to characters (in the table's order, so a doubly
// escaped entity is decoded once), then every line feed to "<br>".
QString Entities2Text(QString text);

// Characters to named entities for outgoing text. A character the Windows-1251
// code page cannot hold, or a control character other than tab and line
// breaks, becomes a numeric reference first, so it survives and the request
// stays a sound document.
QString Text2Entities(QString text);

// A stored body to an HTML fragment for the view. A tag left open ("[url="
// without "]", "[url]" without "[/url]", "[more=" without "]") stays as text;
// the rest is converted.
QString WordProcessor(const QString& text, const std::vector<Smiley>& smileys);

} // namespace orv::Markup
