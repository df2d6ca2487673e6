#pragma once

#include "Composer.h"

#include <QString>
#include <optional>

namespace orv {

// Everything the message editor shows, so that it can be opened again exactly
// as it was: the draft (its body the text as typed), what the window's caption
// says it answers, and the places of the caption lines an edit found.
struct EditorState {
    Draft draft;
    QString caption;
    bool inSource = false; // the source view shown, rather than the result
    std::optional<Composer::CaptionPlace> musicPlace;
    std::optional<Composer::CaptionPlace> moodPlace;

    // A JSON object, UTF-8 text.
    QString toText() const;
    // Nothing when the text is no state this program wrote.
    static std::optional<EditorState> fromText(const QString& text);
};

} // namespace orv
