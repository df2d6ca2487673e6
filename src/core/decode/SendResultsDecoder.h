#pragma once

#include "ResultDocument.h"
#include "store/Outbox.h"

#include <QString>
#include <vector>

namespace orv {

// The identifiers an accepted message got, from one ITEM of its result:
// POSTID (the post, or the commented post), JOURNALID, and COMMID for comments.
using SentItem = SendOutcome::Identifiers;

// One RESULT of a send answer.
struct SendResult {
    QString qid;
    QString kindWord; // "post", "comment" or "privat"; anything else is skipped
    QString key;      // the local key the QID names
    QString error;    // "0" for an accepted message
    std::vector<SentItem> items;
    // Why the result cannot be applied (no ERROR, a QID without a hyphen, an
    // item without its identifiers); empty when it can.
    QString problem;

    bool accepted() const { return error == u'0'; }
};

// Every RESULT of the answer, in document order. Items are read only for an
// accepted post or comment. Nothing here throws: a result that cannot be read
// says why, so that the others still count.
std::vector<SendResult> DecodeSendResults(const ResultDocument& document);

} // namespace orv
