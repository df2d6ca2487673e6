#include "CliPrompts.h"

#include <cstdio>

using namespace Qt::StringLiterals;

namespace orv {

CliPrompts::CliPrompts(bool answer, bool answerGiven)
    : m_answer(answer)
    , m_answerGiven(answerGiven)
    , m_out(stdout)
    , m_err(stderr) {}

bool CliPrompts::askYesNo(const QString& title, const QString& text) {
    return answered(title, text, m_answer);
}

bool CliPrompts::askYesNoOr(const QString& title, const QString& text, bool unanswered) {
    return answered(title, text, m_answerGiven ? m_answer : unanswered);
}

bool CliPrompts::answered(const QString& title, const QString& text, bool answer) {
    m_err << title << u": "_s << text << u"\n-> "_s << (answer ? u"да"_s : u"нет"_s) << Qt::endl;
    return answer;
}

void CliPrompts::inform(const QString& title, const QString& text, Icon) {
    m_err << title << u": "_s << text << Qt::endl;
}

void CliPrompts::showText(const QString& caption, const QString& text) {
    m_out << u"== "_s << caption << u" ==\n"_s << text << Qt::endl;
}

std::optional<QString> CliPrompts::askText(const QString& title, const QString& prompt) {
    m_err << title << u": "_s << prompt << u"\n-> (нет ответа)"_s << Qt::endl;
    return std::nullopt;
}

} // namespace orv
