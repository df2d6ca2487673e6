#pragma once

#include "ResultDocument.h"
#include "store/ReceivedMessages.h"

#include <vector>

namespace orv {

// The posts of "get_new_posts" results (posts fetched by identifier), in
// document order. A result that carries a service error gives nothing.
// Throws OrvError when an item lacks one of its fields.
std::vector<ReceivedPost> DecodePosts(const ResultDocument& document);

} // namespace orv
