#include "ExchangeLock.h"

namespace orv {

ExchangeLock::ExchangeLock(const WorkingFolder& folder)
    : m_file(folder.exchangeLockPath()) {
    // A run may last long; only a lock whose process is gone is stale.
    m_file.setStaleLockTime(0);
}

bool ExchangeLock::tryLock() {
    return m_file.tryLock(0);
}

} // namespace orv
