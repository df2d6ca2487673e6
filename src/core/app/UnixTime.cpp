#include "UnixTime.h"

#include <QDateTime>
#include <QLocale>
#include <cmath>

using namespace Qt::StringLiterals;

namespace orv::UnixTime {
namespace {

QDateTime epoch() {
    return QDateTime(QDate(1970, 1, 1), QTime(0, 0), Qt::UTC);
}

std::optional<double> number(const QString& value) {
    bool ok = false;
    const double n = QLocale::c().toDouble(value.trimmed(), &ok);
    if (!ok || !std::isfinite(n)) {
        return std::nullopt;
    }
    return n;
}

} // namespace

bool looksLikeUnixTime(const QString& value) {
    return value.size() == 10 && number(value).has_value();
}

std::optional<DateAndTime> split(const QString& value) {
    if (!looksLikeUnixTime(value)) {
        return std::nullopt;
    }
    const QDateTime moment = epoch().addSecs(std::llround(*number(value)));
    return DateAndTime{moment.toString(u"dd.MM.yyyy"_s), moment.toString(u"HH:mm:ss"_s)};
}

std::optional<QString> merge(const QString& date, const QString& time) {
    const QDate day = QDate::fromString(date.trimmed(), u"dd.MM.yyyy"_s);
    const QTime clock = QTime::fromString(time.trimmed(), u"HH:mm:ss"_s);
    if (!day.isValid() || !clock.isValid()) {
        return std::nullopt;
    }
    const QDateTime moment(day, clock, Qt::UTC);
    return QString::number(epoch().secsTo(moment));
}

} // namespace orv::UnixTime
