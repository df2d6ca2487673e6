#pragma once

#include "ResultDocument.h"
#include "store/SmileStore.h"

#include <QString>
#include <optional>
#include <vector>

namespace orv {

class UserPrompts;

// What a smileys answer says.
struct DecodedSmiles {
    // The service's highest smiley identifier, as the last result read gave
    // it; stored even when the rest of the answer is refused.
    std::optional<QString> lastSmileId;
    std::vector<Smiley> smileys; // code and picture address, in order
    // Why the answer could not be read to its end; nothing is then stored
    // but the identifier.
    QString error;
};

// Reads every RESULT: its LASTSMILEID, then its service error (asking
// whether to go on), then its ITEMs ("code address" in MESSAGE). A result
// without items ends the reading.
DecodedSmiles DecodeSmiles(const ResultDocument& document, UserPrompts& prompts);

} // namespace orv
