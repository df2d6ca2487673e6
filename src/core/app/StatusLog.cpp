#include "StatusLog.h"

#include "PrivateFiles.h"

#include <QMutexLocker>
#include <sys/stat.h>

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
        appendToFile(line);
    }
    emit lineAdded(line);
}

void StatusLog::appendToFile(const QString& line) {
    struct stat status {};
    if (m_file.isOpen() && (::fstat(m_file.handle(), &status) != 0 || status.st_nlink == 0)) {
        m_file.close(); // deleted: the next lines go to a new file
    }
    if (!m_file.isOpen()) {
        m_file.setFileName(m_logPath);
        if (!PrivateFiles::open(m_file, QIODevice::WriteOnly | QIODevice::Append)) {
            return;
        }
    }
    const QByteArray bytes = line.toUtf8() + "\r\n";
    if (m_file.write(bytes) != bytes.size() || !m_file.flush()) {
        m_file.close(); // tried afresh with the next line
    }
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
