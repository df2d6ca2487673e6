#include "XmlTree.h"

#include <expat.h>
#include <limits>
#include <memory>
#include <vector>

namespace orv {
namespace {

using Parser = std::unique_ptr<XML_ParserStruct, decltype(&XML_ParserFree)>;

Parser newParser() {
    return Parser(XML_ParserCreate("UTF-8"), XML_ParserFree);
}

bool parseWhole(XML_Parser parser, QStringView text) {
    // Expat reads UTF-8 faster than UTF-16, the conversion included.
    const QByteArray bytes = text.toUtf8();
    if (bytes.size() > std::numeric_limits<int>::max()) {
        return false;
    }
    return XML_Parse(parser, bytes.constData(), int(bytes.size()), XML_TRUE) == XML_STATUS_OK;
}

// Builds the tree as expat reports the elements (names and texts in UTF-8).
struct Builder {
    XML_Parser parser;
    int maxDepth;
    std::vector<XmlElement> open; // the path from the root to the current element
    std::optional<XmlElement> root;
};

void XMLCALL started(void* data, const XML_Char* name, const XML_Char** attributes) {
    auto& builder = *static_cast<Builder*>(data);
    if (builder.open.size() >= size_t(builder.maxDepth)) {
        XML_StopParser(builder.parser, XML_FALSE); // the parse then fails
        return;
    }
    XmlElement element;
    element.name = QString::fromUtf8(name);
    for (; attributes[0]; attributes += 2) {
        element.attributes.emplace_back(QString::fromUtf8(attributes[0]),
                                        QString::fromUtf8(attributes[1]));
    }
    builder.open.push_back(std::move(element));
}

void XMLCALL ended(void* data, const XML_Char*) {
    auto& builder = *static_cast<Builder*>(data);
    XmlElement done = std::move(builder.open.back());
    builder.open.pop_back();
    if (builder.open.empty()) {
        builder.root = std::move(done);
    } else {
        builder.open.back().children.push_back(std::move(done));
    }
}

void XMLCALL characters(void* data, const XML_Char* text, int length) {
    auto& builder = *static_cast<Builder*>(data);
    if (!builder.open.empty()) {
        builder.open.back().ownText += QString::fromUtf8(text, length);
    }
}

} // namespace

std::optional<XmlElement> XmlTree::read(QStringView text, int maxDepth) {
    const Parser parser = newParser();
    Builder builder{parser.get(), maxDepth, {}, {}};
    XML_SetUserData(parser.get(), &builder);
    XML_SetElementHandler(parser.get(), started, ended);
    XML_SetCharacterDataHandler(parser.get(), characters);
    if (!parseWhole(parser.get(), text) || !builder.root) {
        return std::nullopt;
    }
    return std::move(builder.root);
}

bool XmlTree::isWellFormed(QStringView text) {
    return parseWhole(newParser().get(), text);
}

} // namespace orv
