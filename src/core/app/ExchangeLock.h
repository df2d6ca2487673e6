#pragma once

#include "WorkingFolder.h"

#include <QLockFile>
#include <QString>

namespace orv {

// One exchange run at a time on a working folder, whichever program runs it
// (the window, a second window, orv-cli): the run holds a lock file in the
// folder. A lock left by a killed process is taken over.
class ExchangeLock {
public:
    static inline const QString BusyText =
        QStringLiteral("Обмен с сервером уже идёт, дождитесь его окончания.");

    explicit ExchangeLock(const WorkingFolder& folder);

    // False when another run holds the folder.
    bool tryLock();

private:
    QLockFile m_file;
};

} // namespace orv
