#include "Settings.h"

#include "app/Constants.h"

namespace orv {

QString Settings::serviceAddress() const {
    QString address = ServiceURL.trimmed();
    while (address.endsWith(u'/')) {
        address.chop(1);
    }
    return address.isEmpty() ? DefaultServiceUrl : address;
}

int Settings::daysToKeep() const {
    return ShowLastDaysRead && ShowLastDays >= 0 ? ShowLastDays : DefaultDaysToKeep;
}

} // namespace orv
