#include "StatusLog.h"

#include "TextFiles.h"

#include <QMutexLocker>

using namespace Qt::StringLiterals;

namespace orv {

StatusLog::StatusLog(QString logPath, QObject* parent)
    : QObject(parent)
    , m_logPath(std::move(logPath))
    , m_clock([] { return QTime::currentTime(); }) {}

void StatusLog::LogStatus(const QString& message) {
    QString line;
    {
        QMutexLocker lock(&m_mutex);
        line = m_clock().toString(u"HH:mm:ss"_s) + u"  "_s + message;
        m_lines.append(line);
        TextFiles::AppendLine(m_logPath, line);
    }
    emit lineAdded(line);
}

void StatusLog::LogFailure(const QString& message) {
    m_failures.ref();
    LogStatus(message);
}

QString StatusLog::currentText() const {
    QMutexLocker lock(&m_mutex);
    return m_lines.isEmpty() ? QString() : m_lines.constLast();
}

QStringList StatusLog::lines() const {
    QMutexLocker lock(&m_mutex);
    return m_lines;
}

void StatusLog::setClock(std::function<QTime()> clock) {
    QMutexLocker lock(&m_mutex);
    m_clock = std::move(clock);
}

} // namespace orv
