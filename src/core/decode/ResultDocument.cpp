#include "ResultDocument.h"

#include "XmlTree.h"
#include "app/Constants.h"
#include "app/OrvError.h"
#include "app/UserPrompts.h"
#include "exchange/ServerErrors.h"

using namespace Qt::StringLiterals;

namespace orv {
namespace {

const QString kResults = u"results"_s;

// The first results element in document order.
const XmlElement* findResults(const XmlElement& element) {
    if (element.name == kResults) {
        return &element;
    }
    for (const XmlElement& child : element.children) {
        if (const XmlElement* found = findResults(child)) {
            return found;
        }
    }
    return nullptr;
}

} // namespace

std::optional<ResultDocument> ResultDocument::parse(const QString& text) {
    if (text.size() > MaxAnswerSize) {
        return std::nullopt;
    }
    // A warning the service's PHP printed in front of the declaration does not
    // spoil the answer behind it: the service has acted on the request (private
    // messages are marked read), so refusing the answer would lose them.
    const qsizetype declaration = text.indexOf(u"<?xml"_s);
    std::optional<XmlElement> root = XmlTree::read(
        declaration > 0 ? QStringView(text).mid(declaration) : QStringView(text), MaxDepth);
    if (!root) {
        return std::nullopt;
    }
    if (root->name == kResults) {
        return ResultDocument(std::move(*root));
    }
    const XmlElement* results = findResults(*root);
    if (!results) {
        return std::nullopt;
    }
    return ResultDocument(XmlElement(*results));
}

std::vector<const XmlElement*> ResultDocument::results() const {
    return m_results.childrenNamed(u"RESULT"_s);
}

QString ResultDocument::refusal(const QString& usual) const {
    for (const XmlElement* result : results()) {
        const QString code = result->attribute(u"ERROR"_s); // none: no error either
        if (isError(code) && code != usual) {
            return code;
        }
    }
    return {};
}

QString ResultDocument::errorCode(const XmlElement& result) {
    if (!result.hasAttribute(u"ERROR"_s)) {
        throw OrvError(u"в ответе сервера нет атрибута ERROR"_s);
    }
    return result.attribute(u"ERROR"_s);
}

bool ResultDocument::askToGoOn(UserPrompts& prompts, const QString& prefix, const QString& code) {
    return prompts.askYesNo(VersionTag, prefix + ServerErrorText(code) +
                                            u"\r\nДА - продолжаем, НЕТ - не продолжаем"_s);
}

QString ResultDocument::field(const XmlElement& item, const QString& name) {
    const XmlElement* child = item.child(name);
    if (!child) {
        throw OrvError(u"в ответе сервера нет элемента "_s + name);
    }
    return child->text();
}

} // namespace orv
