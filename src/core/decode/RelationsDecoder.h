#pragma once

#include "ResultDocument.h"
#include "store/AddressBook.h"

#include <optional>
#include <vector>

namespace orv {

class UserPrompts;

// The friends ("BUDDY") and readers ("READER") an answer names, friends first.
// An answer that names nobody gives an empty list, which empties the address
// book. Nothing when the lists must stay as they are: a RESULT with a service
// error (its question is asked; the answer decides only whether later results
// are read). Throws OrvError when a RESULT lacks ERROR or a name is empty.
std::optional<std::vector<Relation>> DecodeRel(const ResultDocument& document,
                                               UserPrompts& prompts);

} // namespace orv
