#include "RelationsDecoder.h"

#include "app/OrvError.h"

using namespace Qt::StringLiterals;

namespace orv {

std::optional<std::vector<Relation>> DecodeRel(const ResultDocument& document,
                                               UserPrompts& prompts) {
    std::vector<Relation> relations;
    bool usable = true;
    for (const XmlElement* result : document.results()) {
        const QString code = ResultDocument::errorCode(*result);
        if (ResultDocument::isError(code)) {
            usable = false;
            if (!ResultDocument::askToGoOn(prompts, u"Mod_DB.DecodeRel:: "_s, code)) {
                break;
            }
            continue;
        }
        for (const QString& status : {AddressBook::Buddy, AddressBook::Reader}) {
            for (const XmlElement* element : result->childrenNamed(status)) {
                const QString nick = element->text();
                if (nick.isEmpty()) {
                    throw OrvError(u"пустое имя в списке "_s + status);
                }
                relations.push_back({nick, status});
            }
        }
    }
    if (!usable) {
        return std::nullopt;
    }
    return relations;
}

} // namespace orv
