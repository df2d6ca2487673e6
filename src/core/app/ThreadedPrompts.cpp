#include "ThreadedPrompts.h"

#include <QSemaphore>
#include <QThread>
#include <memory>
#include <utility>

namespace orv {

ThreadedPrompts::ThreadedPrompts(UserPrompts& target, QObject* home)
    : m_target(target)
    , m_home(home) {}

QList<ThreadedPrompts::Shown> ThreadedPrompts::takeReports() {
    const QMutexLocker lock(&m_gathered);
    return std::exchange(m_reports, {});
}

QStringList ThreadedPrompts::takeNotices() {
    const QMutexLocker lock(&m_gathered);
    return std::exchange(m_notices, {});
}

void ThreadedPrompts::report(const QString& caption, const QString& text) {
    const QMutexLocker lock(&m_gathered);
    m_reports.append({caption, text});
}

void ThreadedPrompts::notice(const QString& text) {
    const QMutexLocker lock(&m_gathered);
    m_notices.append(text);
}

template <class Result, class Ask> Result ThreadedPrompts::onHomeThread(Result fallback, Ask ask) {
    if (m_closed || !m_attended) {
        return fallback;
    }
    if (!m_home || QThread::currentThread() == m_home->thread()) {
        return ask();
    }
    // Shared, since the asking side may give up before the answer comes.
    struct Exchange {
        QSemaphore answered;
        std::atomic<bool> abandoned{false};
        Result result;
    };
    auto exchange = std::make_shared<Exchange>();
    exchange->result = fallback;
    QMetaObject::invokeMethod(m_home, [exchange, ask] {
        if (!exchange->abandoned) {
            exchange->result = ask();
        }
        exchange->answered.release();
    });
    while (!exchange->answered.tryAcquire(1, 50)) {
        if (m_closed) {
            exchange->abandoned = true;
            return fallback;
        }
    }
    return exchange->result;
}

bool ThreadedPrompts::askYesNo(const QString& title, const QString& text) {
    return onHomeThread(false, [this, title, text] { return m_target.askYesNo(title, text); });
}

bool ThreadedPrompts::askYesNoOr(const QString& title, const QString& text, bool unanswered) {
    return onHomeThread(unanswered, [this, title, text, unanswered] {
        return m_target.askYesNoOr(title, text, unanswered);
    });
}

void ThreadedPrompts::inform(const QString& title, const QString& text, Icon icon) {
    if (!m_attended) {
        notice(text);
        return;
    }
    onHomeThread(true, [this, title, text, icon] {
        m_target.inform(title, text, icon);
        return true;
    });
}

void ThreadedPrompts::showText(const QString& caption, const QString& text) {
    if (!m_attended) {
        report(caption, text);
        return;
    }
    onHomeThread(true, [this, caption, text] {
        m_target.showText(caption, text);
        return true;
    });
}

std::optional<QString> ThreadedPrompts::askText(const QString& title, const QString& prompt) {
    // Carried as a pair: GCC 12 mistakes a copied empty optional for uninitialised.
    const auto [given, text] = onHomeThread(std::pair(false, QString()), [this, title, prompt] {
        const auto typed = m_target.askText(title, prompt);
        return std::pair(typed.has_value(), typed.value_or(QString()));
    });
    return given ? std::optional(text) : std::nullopt;
}

} // namespace orv
