#include "ThreadedPrompts.h"

#include <QThread>

namespace orv {

ThreadedPrompts::ThreadedPrompts(UserPrompts& target, QObject* home)
    : m_target(target)
    , m_home(home) {}

template <class Call> void ThreadedPrompts::onHomeThread(Call&& call) {
    if (m_closed) {
        return;
    }
    if (!m_home || QThread::currentThread() == m_home->thread()) {
        call();
        return;
    }
    QMetaObject::invokeMethod(m_home, std::forward<Call>(call), Qt::BlockingQueuedConnection);
}

bool ThreadedPrompts::askYesNo(const QString& title, const QString& text) {
    bool answer = false;
    onHomeThread([&] { answer = m_target.askYesNo(title, text); });
    return answer;
}

void ThreadedPrompts::inform(const QString& title, const QString& text, Icon icon) {
    onHomeThread([&] { m_target.inform(title, text, icon); });
}

void ThreadedPrompts::showText(const QString& caption, const QString& text) {
    onHomeThread([&] { m_target.showText(caption, text); });
}

std::optional<QString> ThreadedPrompts::askText(const QString& title, const QString& prompt) {
    std::optional<QString> answer;
    onHomeThread([&] { answer = m_target.askText(title, prompt); });
    return answer;
}

} // namespace orv
