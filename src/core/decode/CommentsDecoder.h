#pragma once

#include "ResultDocument.h"
#include "store/ReceivedMessages.h"

#include <vector>

namespace orv {

class UserPrompts;

// The comments of "get_new_comments" and "allcomments_for-…" results, in
// document order. A result with a service error asks whether to go on: Yes
// goes on with the next result, No ends the decoding; the erroneous result
// itself gives nothing either way. Throws OrvError when a RESULT lacks ERROR
// or an item lacks one of its fields.
std::vector<ReceivedComment> DecodeComments(const ResultDocument& document, UserPrompts& prompts);

} // namespace orv
