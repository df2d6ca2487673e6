#pragma once

#include "ResultDocument.h"

#include <QString>
#include <QStringList>

namespace orv {

// What a list answer (new posts, new comments, all comments of a post) asks
// the fetch stack to hold.
struct IdList {
    QString stackType;    // FetchStack::Posts or ::Comments; empty: nothing to stack
    QStringList ids;      // in the answer's order, empty pieces left out
    QString checkTimeKey; // "CheckTime_Posts" or "CheckTime_Comments"; empty: none moves
    QString checkTime;    // the service's NOWDATE, kept verbatim
};

// The identifiers and the service time of the answer. The last RESULT names
// the kind; an "allcomments" list stacks comments and moves no check time; a
// list without NOWDATE stacks nothing, as nothing is known for sure.
IdList DecodeIdList(const ResultDocument& document);

} // namespace orv
