#pragma once

#include <QString>

namespace orv {

// Decisions and messages meant for the user. The window program shows message
// boxes; tests and the command line answer from a script.
class UserPrompts {
public:
    enum class Icon { Information, Warning, Critical };

    virtual ~UserPrompts() = default;

    // A Yes/No question; true for Yes.
    virtual bool askYesNo(const QString& title, const QString& text) = 0;
    // A message with an OK button.
    virtual void inform(const QString& title, const QString& text, Icon icon) = 0;
    // A longer text in its own window with a caption.
    virtual void showText(const QString& caption, const QString& text) = 0;
};

} // namespace orv
