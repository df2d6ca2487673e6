#pragma once

#include <QString>
#include <QStringView>

namespace orv {

// Character references in the service's texts: the HTML 4 named set (with
// &apos;), decimal "&#8230;" and hexadecimal "&#x2026;" ones. Browsers read
// "&#128;" to "&#159;" as the Windows-1252 characters, and so does this.
class HtmlEntities {
public:
    // The text with every reference decoded, in one pass: "&amp;quot;" gives
    // "&quot;". One that is unknown or malformed (no ";", a code point that is
    // no character) stays as it stands. With a limit >= 0 only the first
    // `limit` UTF-16 units of the result are made (one more when the last
    // character needs two), so a short caption never decodes a whole text. A
    // text without "&" comes back as it is, whatever the limit, without a copy.
    static QString decode(const QString& text, qsizetype limit = -1);

    // The character of a named reference, the name without "&" and ";" (case
    // matters, except for quot, amp, lt and gt); 0 when there is none.
    static char32_t named(QStringView name);
};

} // namespace orv
