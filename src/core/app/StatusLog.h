#pragma once

#include <QAtomicInt>
#include <QFile>
#include <QMutex>
#include <QObject>
#include <QStringList>
#include <QTime>
#include <functional>

namespace orv {

// The status lines of the current run: each one time-stamped, kept in memory
// for the status list and appended to log.txt. Safe to call from any thread;
// lineAdded reaches receivers on other threads as a queued signal.
class StatusLog : public QObject {
    Q_OBJECT

public:
    explicit StatusLog(QString logPath, QObject* parent = nullptr);

    // Appends "hh:mm:ss", two blanks and the message. A log file that cannot be
    // written does not keep the line from the status list.
    void LogStatus(const QString& message);
    // The same, for a line that reports a failure; the lines are counted.
    void LogFailure(const QString& message);
    int failureCount() const { return m_failures.loadRelaxed(); }

    // The newest line, time stamp included; empty before the first line.
    QString currentText() const;
    QStringList lines() const;
    const QString& logPath() const { return m_logPath; }

    // Tests pin the time stamp.
    void setClock(std::function<QTime()> clock);

signals:
    void lineAdded(const QString& line);

private:
    // Appends the line to log.txt, opened once and kept open; opened again
    // when the file was deleted meanwhile.
    void appendToFile(const QString& line);

    const QString m_logPath;
    QFile m_file;
    mutable QMutex m_mutex;
    QStringList m_lines;
    std::function<QTime()> m_clock;
    QAtomicInt m_failures;
};

} // namespace orv
