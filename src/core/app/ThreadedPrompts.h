#pragma once

#include "UserPrompts.h"

#include <QObject>
#include <QPointer>
#include <atomic>

namespace orv {

// Puts the questions of a worker thread to the prompts of the window's thread
// and waits for the answer there.
class ThreadedPrompts : public UserPrompts {
public:
    // `home` lives in the thread whose prompts answer.
    ThreadedPrompts(UserPrompts& target, QObject* home);

    // From now on questions are answered No and messages dropped, without
    // waiting for the home thread (which is going away).
    void close() { m_closed = true; }

    bool askYesNo(const QString& title, const QString& text) override;
    void inform(const QString& title, const QString& text, Icon icon) override;
    void showText(const QString& caption, const QString& text) override;
    std::optional<QString> askText(const QString& title, const QString& prompt) override;

private:
    template <class Call> void onHomeThread(Call&& call);

    UserPrompts& m_target;
    QPointer<QObject> m_home;
    std::atomic<bool> m_closed{false};
};

} // namespace orv
