#pragma once

#include "Escaping.h"

namespace orv {

// The former name of Escaping::decode with the HTML set, kept while the
// window's search list still calls it. New code calls Escaping::decode.
struct HtmlEntities {
    static QString decode(const QString& text, qsizetype limit = -1) {
        return Escaping::decode(text, Escaping::Names::Html, limit);
    }
};

} // namespace orv
