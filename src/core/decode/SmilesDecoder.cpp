#include "SmilesDecoder.h"

#include "app/OrvError.h"

#include <QStringList>

using namespace Qt::StringLiterals;

namespace orv {
namespace {

Smiley smileyOf(const XmlElement& item) {
    const QStringList parts = ResultDocument::field(item, u"MESSAGE"_s).split(u' ');
    if (parts.size() < 2) {
        throw OrvError(u"в описании смайлика нет пробела: "_s + parts.value(0));
    }
    return {parts[0], parts[1]}; // further parts are dropped
}

} // namespace

DecodedSmiles DecodeSmiles(const ResultDocument& document, UserPrompts& prompts) {
    DecodedSmiles decoded;
    try {
        for (const XmlElement* result : document.results()) {
            decoded.lastSmileId = ResultDocument::field(*result, u"LASTSMILEID"_s);
            const QString code = ResultDocument::errorCode(*result);
            if (ResultDocument::isError(code) &&
                !ResultDocument::askToGoOn(prompts, u"Mod_DB.DecodeSmiles:: "_s, code)) {
                return decoded;
            }
            const auto items = result->childrenNamed(u"ITEM"_s);
            if (items.empty()) {
                return decoded; // nothing to store
            }
            for (const XmlElement* item : items) {
                decoded.smileys.push_back(smileyOf(*item));
            }
        }
    } catch (const OrvError& error) {
        decoded.smileys.clear();
        decoded.error = error.text();
    }
    return decoded;
}

} // namespace orv
