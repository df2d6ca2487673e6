#pragma once

#include "UserPrompts.h"

#include <QObject>
#include <QPointer>
#include <atomic>

namespace orv {

// Puts the questions of a worker thread to the prompts of the window's thread
// and waits for the answer there. Once closed, questions are answered No and
// messages dropped at once, also those already waiting, so the home thread can
// stop the worker without both waiting for each other.
class ThreadedPrompts : public UserPrompts {
public:
    // `home` lives in the thread whose prompts answer.
    ThreadedPrompts(UserPrompts& target, QObject* home);

    void close() { m_closed = true; }

    bool askYesNo(const QString& title, const QString& text) override;
    bool askYesNoOr(const QString& title, const QString& text, bool unanswered) override;
    void inform(const QString& title, const QString& text, Icon icon) override;
    void showText(const QString& caption, const QString& text) override;
    std::optional<QString> askText(const QString& title, const QString& prompt) override;

private:
    // Runs ask() on the home thread and returns its result, or the fallback
    // when the prompts are closed meanwhile.
    template <class Result, class Ask> Result onHomeThread(Result fallback, Ask ask);

    UserPrompts& m_target;
    QPointer<QObject> m_home;
    std::atomic<bool> m_closed{false};
};

} // namespace orv
