#include "Settings.h"

#include "app/Constants.h"

#include <algorithm>
#include <cmath>

namespace orv {

QString Settings::serviceAddress() const {
    QString address = ServiceURL.trimmed();
    while (address.endsWith(u'/')) {
        address.chop(1);
    }
    return address.isEmpty() ? DefaultServiceUrl : address;
}

int Settings::timeOffsetHours() const {
    bool ok = false;
    const double hours = TimeOffset.trimmed().toDouble(&ok);
    return ok && std::abs(hours) <= 24 ? int(std::lround(hours)) : 0;
}

int Settings::daysToKeep() const {
    return ShowLastDaysRead && ShowLastDays >= 0 ? ShowLastDays : DefaultDaysToKeep;
}

qint64 Settings::pictureCacheBytes() const {
    bool ok = false;
    const qint64 megabytes = PictureCacheMB.trimmed().toLongLong(&ok);
    constexpr qint64 Largest = 1024 * 1024; // a terabyte: no overflow below it
    return (ok && megabytes > 0 ? std::min(megabytes, Largest) : 500) * 1024 * 1024;
}

} // namespace orv
