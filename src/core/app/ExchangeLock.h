#pragma once

#include "WorkingFolder.h"

#include <QLockFile>
#include <QString>

namespace orv {

// One exchange run at a time on a working folder, whichever program runs it
// (the window, a second window, orv-cli): the run holds a lock file in the
// folder. A lock left by a killed process is taken over, and so is one that
// names no owner (empty or unreadable: its writer died before writing its
// PID, which a live owner writes at once) once it is a few seconds old.
class ExchangeLock {
public:
    static inline const QString BusyText =
        QStringLiteral("Обмен с сервером уже идёт, дождитесь его окончания.");

    explicit ExchangeLock(const WorkingFolder& folder);

    // False when another run holds the folder.
    bool tryLock();

    // How old a lock that names no owner must be to be taken over.
    static constexpr int UnnamedGraceSeconds = 5;

private:
    QLockFile m_file;
};

} // namespace orv
