#include "ServiceClock.h"

#include "app/OrvError.h"
#include "store/StoredDate.h"

#include <cmath>
#include <cstdlib>

using namespace Qt::StringLiterals;

namespace orv {

std::optional<qint64> ServiceClock::lag(const QString& nowDate, const QDateTime& local) {
    QString stored;
    try {
        stored = StoredDate::fromServiceText(nowDate);
    } catch (const OrvError&) {
        return std::nullopt;
    }
    // Both as plain wall-clock readings: a summer-time change between them
    // must not count.
    const QDateTime service = QDateTime::fromString(stored, u"yyyy-MM-dd hh:mm:ss"_s);
    if (!service.isValid()) {
        return std::nullopt;
    }
    return QDateTime(service.date(), service.time(), Qt::UTC)
        .secsTo(QDateTime(local.date(), local.time(), Qt::UTC));
}

std::optional<int> ServiceClock::offsetHours(qint64 lagSeconds) {
    const qint64 hours = qint64(std::llround(double(lagSeconds) / 3600));
    if (hours == 0 || std::llabs(hours) > MaxHours ||
        std::llabs(lagSeconds - hours * 3600) > ToleranceSeconds) {
        return std::nullopt;
    }
    return int(hours);
}

QString ServiceClock::question(int hours) {
    return u"Время сервера отличается от вашего на "_s + QString::number(std::abs(hours)) +
           u" ч. Учитывать это?"_s;
}

} // namespace orv
