#include "PrivatesDecoder.h"

#include "exchange/ServerErrors.h"

using namespace Qt::StringLiterals;

namespace orv {

DecodedPrivates DecodePrivates(const ResultDocument& document, UserPrompts& prompts) {
    static const QString kNoUnread = u"53"_s;
    DecodedPrivates decoded;
    for (const XmlElement* result : document.results()) {
        const QString code = ResultDocument::errorCode(*result);
        if (code == kNoUnread) {
            decoded.statusLines.append(ServerErrorText(code));
            continue;
        }
        if (ResultDocument::isError(code)) {
            if (!ResultDocument::askToGoOn(prompts, u"Mod_DB.DecodePrivates:: "_s, code)) {
                break;
            }
            continue;
        }
        for (const XmlElement* item : result->childrenNamed(u"ITEM"_s)) {
            decoded.messages.push_back({
                .message = ResultDocument::field(*item, u"MESSAGE"_s),
                .date = ResultDocument::field(*item, u"MESSAGEDATE"_s),
                .userName = ResultDocument::field(*item, u"USERNAME"_s),
            });
        }
    }
    return decoded;
}

} // namespace orv
