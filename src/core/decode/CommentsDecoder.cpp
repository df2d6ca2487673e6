#include "CommentsDecoder.h"

#include "store/FetchStack.h"

using namespace Qt::StringLiterals;

namespace orv {

std::vector<ReceivedComment> DecodeComments(const ResultDocument& document, UserPrompts& prompts) {
    std::vector<ReceivedComment> comments;
    for (const XmlElement* result : document.results()) {
        const QString qid = result->attribute(u"QID"_s);
        const QString code = ResultDocument::errorCode(*result);
        if (ResultDocument::isError(code)) {
            if (!ResultDocument::askToGoOn(prompts, u"Mod_DB.DecodeComments:: "_s, code)) {
                break;
            }
            continue;
        }
        const bool listed =
            qid == FetchStack::Comments || qid.section(u'-', 0, 0) == u"allcomments_for"_s;
        if (!listed || !result->hasContent()) {
            continue;
        }
        for (const XmlElement* item : result->childrenNamed(u"ITEM"_s)) {
            comments.push_back({
                .message = ResultDocument::field(*item, u"MESSAGE"_s),
                .header = ResultDocument::field(*item, u"HEADER"_s),
                .date = ResultDocument::field(*item, u"MESSAGEDATE"_s),
                .userName = ResultDocument::field(*item, u"USERNAME"_s),
                .postId = ResultDocument::field(*item, u"POSTID"_s),
                .commentId = ResultDocument::field(*item, u"COMMID"_s),
                .journalId = ResultDocument::field(*item, u"JOURNALID"_s),
            });
        }
    }
    return comments;
}

} // namespace orv
