#include "IdListDecoder.h"

#include "store/FetchStack.h"

using namespace Qt::StringLiterals;

namespace orv {
namespace {

const QString kAllComments = u"allcomments"_s;

QString firstItemText(const XmlElement& result) {
    const XmlElement* item = result.child(u"ITEM"_s);
    return item ? item->text() : QString();
}

} // namespace

IdList DecodeIdList(const ResultDocument& document) {
    QString queryId;
    QString ids;
    QString checkTime;
    for (const XmlElement* result : document.results()) {
        queryId = result->attribute(u"QID"_s);
        if (!result->hasContent()) {
            continue;
        }
        if (queryId == kAllComments) {
            ids = firstItemText(*result);
        } else if (queryId == FetchStack::Posts || queryId == FetchStack::Comments) {
            const XmlElement* now = result->child(u"NOWDATE"_s);
            if (!now) {
                continue;
            }
            checkTime = now->text();
            if (result->children.size() > 1) {
                ids = firstItemText(*result);
            }
        }
    }
    IdList list;
    if (queryId == FetchStack::Posts || queryId == FetchStack::Comments) {
        list.stackType = queryId;
        if (!checkTime.isEmpty()) {
            list.checkTimeKey =
                queryId == FetchStack::Posts ? u"CheckTime_Posts"_s : u"CheckTime_Comments"_s;
            list.checkTime = checkTime;
        }
    } else if (queryId == kAllComments) {
        list.stackType = FetchStack::Comments;
    }
    if (!list.stackType.isEmpty()) {
        list.ids = ids.split(u' ', Qt::SkipEmptyParts);
    }
    return list;
}

} // namespace orv
