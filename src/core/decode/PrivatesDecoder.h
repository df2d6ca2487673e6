#pragma once

#include "ResultDocument.h"
#include "store/ReceivedMessages.h"

#include <QStringList>
#include <vector>

namespace orv {

class UserPrompts;

struct DecodedPrivates {
    std::vector<ReceivedPrivate> messages;
    QStringList statusLines; // what the run reports without asking
};

// The received private messages of every RESULT, in document order. Code 53
// (no unread messages) is the usual answer and becomes a status line; any
// other service error asks whether to go on, and its result gives nothing.
// Throws OrvError when a RESULT lacks ERROR or an item one of its fields.
DecodedPrivates DecodePrivates(const ResultDocument& document, UserPrompts& prompts);

} // namespace orv
