#include "SendResultsDecoder.h"

#include "app/OrvError.h"

using namespace Qt::StringLiterals;

namespace orv {
namespace {

std::vector<SentItem> itemsOf(const XmlElement& result, bool withComment) {
    std::vector<SentItem> items;
    for (const XmlElement* item : result.childrenNamed(u"ITEM"_s)) {
        SentItem sent;
        sent.postId = ResultDocument::field(*item, u"POSTID"_s);
        sent.journalId = ResultDocument::field(*item, u"JOURNALID"_s);
        if (withComment) {
            sent.commentId = ResultDocument::field(*item, u"COMMID"_s);
        }
        items.push_back(std::move(sent));
    }
    return items;
}

SendResult decoded(const XmlElement& element) {
    SendResult result;
    result.qid = element.attribute(u"QID"_s);
    const qsizetype hyphen = result.qid.indexOf(u'-');
    if (hyphen < 0) {
        result.problem = u"QID без дефиса: "_s + result.qid;
        return result;
    }
    result.kindWord = result.qid.left(hyphen);
    result.key = result.qid.mid(hyphen + 1).section(u'-', 0, 0);
    if (!element.hasAttribute(u"ERROR"_s)) {
        result.problem = u"нет атрибута ERROR в результате "_s + result.qid;
        return result;
    }
    result.error = element.attribute(u"ERROR"_s);
    const bool post = result.kindWord == u"post"_s;
    const bool comment = result.kindWord == u"comment"_s;
    if (result.accepted() && (post || comment)) {
        try {
            result.items = itemsOf(element, comment);
        } catch (const OrvError& error) {
            result.problem = error.text() + u" ("_s + result.qid + u')';
        }
    }
    return result;
}

} // namespace

std::vector<SendResult> DecodeSendResults(const ResultDocument& document) {
    std::vector<SendResult> results;
    for (const XmlElement* element : document.results()) {
        results.push_back(decoded(*element));
    }
    return results;
}

} // namespace orv
