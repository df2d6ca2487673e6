#pragma once

#include "XmlElement.h"

#include <QStringView>
#include <optional>

namespace orv {

// Reads whole XML documents with expat, which the answers' size makes worth
// it: a receive spent a fifth of its time reading answers with Qt's reader.
// The text is read as Unicode, so a declaration naming another encoding
// does not count. Entities declared in the document are expanded within
// expat's limits; external ones are never loaded.
class XmlTree {
public:
    // The root element, or nothing when the text is not well-formed or its
    // elements nest deeper than maxDepth.
    static std::optional<XmlElement> read(QStringView text, int maxDepth);
    static bool isWellFormed(QStringView text);
};

} // namespace orv
