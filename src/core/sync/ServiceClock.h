#pragma once

#include <QDateTime>
#include <QString>
#include <optional>

namespace orv {

// The service's clock against this machine's, as the NOWDATE of a list answer
// shows it, and the time offset that difference suggests. A machine in
// another time zone than the service differs by whole hours; anything else is
// a wrong clock, which an offset would only hide.
class ServiceClock {
public:
    static constexpr int MaxHours = 14;
    static constexpr int ToleranceSeconds = 5 * 60;

    // Seconds the local wall clock is ahead of the service's (negative when
    // behind), or nothing when the text is no date.
    static std::optional<qint64> lag(const QString& nowDate, const QDateTime& local);
    // The lag as whole hours, when it is some within the limits; else nothing.
    static std::optional<int> offsetHours(qint64 lagSeconds);
    // The offer of that offset to the user.
    static QString question(int hours);
};

} // namespace orv
