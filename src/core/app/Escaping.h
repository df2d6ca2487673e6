#pragma once

#include <QString>
#include <QStringView>

// Escaping text for XML and HTML, and reading character references back: the
// one place that knows which characters a document cannot hold as they stand.
namespace orv::Escaping {

// The five XML specials (&, <, >, ' and ") as their predefined entities, so
// that the value stays one element text or one attribute in either quotes.
QString xml(QStringView text);

// An HTML attribute value in either quotes: &, <, > and " as their entities,
// ' as "&#39;" (HTML 4 has no name for it). With a test given, a character it
// refuses (one the page's code page lacks) is written as a numeric reference.
QString htmlAttribute(QStringView text, bool (*fits)(char32_t) = nullptr);

// "&#" + the code point in decimal + ";".
QString numericReference(char32_t code);

// Which named references a reader knows.
enum class Names {
    Xml,  // the five predefined ones, in exactly that case; numbers as they are
    Html, // the HTML 4 set with &apos;, the markup escapes in any case; "&#128;"
          // to "&#159;" read as the Windows-1252 characters, as browsers do
};

// The text with every reference decoded, in one pass: "&amp;quot;" gives
// "&quot;". Decimal "&#8230;" and hexadecimal "&#x2026;" references are read
// with either set. One that is unknown or malformed (no ";", a code point that
// is no character) stays as it stands. With a limit >= 0 only the first
// `limit` UTF-16 units of the result are made (one more when the last
// character needs two), so a short caption never decodes a whole text. A text
// without "&" comes back as it is, whatever the limit, without a copy.
QString decode(const QString& text, Names names = Names::Html, qsizetype limit = -1);

// The character of a named reference, the name without "&" and ";"; 0 when
// the set has none.
char32_t named(QStringView name, Names names = Names::Html);

} // namespace orv::Escaping
