#pragma once

#include <QString>
#include <optional>

namespace orv {

// Decisions and messages meant for the user. The window program shows message
// boxes; tests and the command line answer from a script.
class UserPrompts {
public:
    enum class Icon { None, Information, Warning, Critical };

    virtual ~UserPrompts() = default;

    // A Yes/No question; true for Yes.
    virtual bool askYesNo(const QString& title, const QString& text) = 0;
    // The same question where no answer (the program closing meanwhile) must
    // count as `unanswered`: a No that deletes something is never assumed.
    virtual bool askYesNoOr(const QString& title, const QString& text, bool unanswered) {
        Q_UNUSED(unanswered);
        return askYesNo(title, text);
    }
    // A message with an OK button.
    virtual void inform(const QString& title, const QString& text, Icon icon) = 0;
    // A longer text in its own window with a caption.
    virtual void showText(const QString& caption, const QString& text) = 0;
    // A line of text typed by the user; nothing when cancelled.
    virtual std::optional<QString> askText(const QString& title, const QString& prompt) = 0;

    // Whether a person is there to answer now. A run must not wait on a
    // question nobody sees: what the question concerns waits for a decision.
    virtual bool attended() { return true; }
    // A report that needs no answer, such as the changes of the friends list;
    // the window shows it once the run has ended.
    virtual void report(const QString& caption, const QString& text) { showText(caption, text); }
    // A line for the desktop's notification while nobody attends.
    virtual void notice(const QString& text) { inform(QString(), text, Icon::Information); }
};

} // namespace orv
