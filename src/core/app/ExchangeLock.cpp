#include "ExchangeLock.h"

#include <QDateTime>
#include <QFileInfo>

namespace orv {

ExchangeLock::ExchangeLock(const WorkingFolder& folder)
    : m_file(folder.exchangeLockPath()) {
    // A run may last long; only a lock whose process is gone is stale.
    m_file.setStaleLockTime(0);
}

bool ExchangeLock::tryLock() {
    if (m_file.tryLock(0)) {
        return true;
    }
    qint64 pid = 0;
    QString host, application;
    const bool named = m_file.getLockInfo(&pid, &host, &application) && pid > 0;
    const QFileInfo lock(m_file.fileName());
    if (named || m_file.error() != QLockFile::LockFailedError ||
        lock.lastModified().secsTo(QDateTime::currentDateTime()) < UnnamedGraceSeconds) {
        return false;
    }
    return m_file.removeStaleLockFile() && m_file.tryLock(0);
}

} // namespace orv
