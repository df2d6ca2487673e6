#include "PostsDecoder.h"

#include "store/FetchStack.h"

using namespace Qt::StringLiterals;

namespace orv {

std::vector<ReceivedPost> DecodePosts(const ResultDocument& document) {
    std::vector<ReceivedPost> posts;
    for (const XmlElement* result : document.results()) {
        if (result->attribute(u"QID"_s) != FetchStack::Posts || !result->hasContent() ||
            ResultDocument::isError(result->attribute(u"ERROR"_s))) {
            continue;
        }
        for (const XmlElement* item : result->childrenNamed(u"ITEM"_s)) {
            posts.push_back({
                .message = ResultDocument::field(*item, u"MESSAGE"_s),
                .header = ResultDocument::field(*item, u"HEADER"_s),
                .date = ResultDocument::field(*item, u"MESSAGEDATE"_s),
                .userName = ResultDocument::field(*item, u"USERNAME"_s),
                .postId = ResultDocument::field(*item, u"POSTID"_s),
                .journalId = ResultDocument::field(*item, u"JOURNALID"_s),
            });
        }
    }
    return posts;
}

} // namespace orv
