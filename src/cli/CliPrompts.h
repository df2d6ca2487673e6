#pragma once

#include "app/UserPrompts.h"

#include <QTextStream>

namespace orv {

// Answers every question with the answer given on the command line and says so
// on standard error; texts meant for a window go to standard output.
class CliPrompts : public UserPrompts {
public:
    explicit CliPrompts(bool answer);

    bool askYesNo(const QString& title, const QString& text) override;
    void inform(const QString& title, const QString& text, Icon icon) override;
    void showText(const QString& caption, const QString& text) override;
    std::optional<QString> askText(const QString& title, const QString& prompt) override;

private:
    bool m_answer;
    QTextStream m_out;
    QTextStream m_err;
};

} // namespace orv
