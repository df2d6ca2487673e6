#pragma once

#include "UserPrompts.h"

#include <QList>
#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <atomic>

namespace orv {

// Puts the questions of a worker thread to the prompts of the window's thread
// and waits for the answer there. Once closed, questions are answered No and
// messages dropped at once, also those already waiting, so the home thread can
// stop the worker without both waiting for each other.
//
// Reports are gathered for the home thread to show once the run has ended, so
// they never hold it. While nobody attends (the window hidden), nothing waits
// either: questions get the answer that assumes nobody answered, and messages
// are gathered as notices.
class ThreadedPrompts : public UserPrompts {
public:
    struct Shown {
        QString caption;
        QString text;
    };

    // `home` lives in the thread whose prompts answer.
    ThreadedPrompts(UserPrompts& target, QObject* home);

    void close() { m_closed = true; }
    void setAttended(bool attended) { m_attended = attended; }
    // What was gathered since the last call.
    QList<Shown> takeReports();
    QStringList takeNotices();

    bool askYesNo(const QString& title, const QString& text) override;
    bool askYesNoOr(const QString& title, const QString& text, bool unanswered) override;
    void inform(const QString& title, const QString& text, Icon icon) override;
    void showText(const QString& caption, const QString& text) override;
    std::optional<QString> askText(const QString& title, const QString& prompt) override;
    bool attended() override { return m_attended; }
    void report(const QString& caption, const QString& text) override;
    void notice(const QString& text) override;

private:
    // Runs ask() on the home thread and returns its result, or the fallback
    // when the prompts are closed meanwhile.
    template <class Result, class Ask> Result onHomeThread(Result fallback, Ask ask);

    UserPrompts& m_target;
    QPointer<QObject> m_home;
    std::atomic<bool> m_closed{false};
    std::atomic<bool> m_attended{true};
    QMutex m_gathered;
    QList<Shown> m_reports;
    QStringList m_notices;
};

} // namespace orv
