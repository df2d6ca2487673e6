#pragma once

#include "app/UserPrompts.h"

#include <QTextStream>

namespace orv {

// Answers every question with the answer given on the command line and says so
// on standard error; texts meant for a window go to standard output. Without
// an answer given, a question whose No would delete something is answered in
// its safe way.
class CliPrompts : public UserPrompts {
public:
    CliPrompts(bool answer, bool answerGiven);

    bool askYesNo(const QString& title, const QString& text) override;
    bool askYesNoOr(const QString& title, const QString& text, bool unanswered) override;
    void inform(const QString& title, const QString& text, Icon icon) override;
    void showText(const QString& caption, const QString& text) override;
    std::optional<QString> askText(const QString& title, const QString& prompt) override;

private:
    bool answered(const QString& title, const QString& text, bool answer);

    bool m_answer;
    bool m_answerGiven;
    QTextStream m_out;
    QTextStream m_err;
};

} // namespace orv
