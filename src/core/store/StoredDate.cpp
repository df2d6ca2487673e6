#include "StoredDate.h"

#include "app/OrvError.h"

#include <optional>

using namespace Qt::StringLiterals;

namespace orv::StoredDate {
namespace {

const QString kStored = u"yyyy-MM-dd HH:mm:ss"_s;

} // namespace

// "dd.MM.yyyy hh:mm:ss" rearranged without a parse: this runs for every row
// received.
static std::optional<QString> rearranged(QStringView t) {
    if (t.size() != 19 || t[2] != u'.' || t[5] != u'.' || t[10] != u' ' || t[13] != u':' ||
        t[16] != u':') {
        return std::nullopt;
    }
    const auto number = [&](qsizetype from, qsizetype length) {
        int value = 0;
        for (qsizetype i = from; i < from + length; ++i) {
            if (!t[i].isDigit()) {
                return -1;
            }
            value = value * 10 + t[i].digitValue();
        }
        return value;
    };
    const int day = number(0, 2), month = number(3, 2), year = number(6, 4);
    const int hour = number(11, 2), minute = number(14, 2), second = number(17, 2);
    if (!QDate::isValid(year, month, day) || !QTime::isValid(hour, minute, second)) {
        return std::nullopt;
    }
    QString stored;
    stored.reserve(19);
    stored += t.mid(6, 4) + u'-' + t.mid(3, 2) + u'-' + t.mid(0, 2) + u' ' + t.mid(11, 8);
    return stored;
}

QString fromServiceText(const QString& text) {
    const QStringView trimmed = QStringView(text).trimmed();
    if (auto stored = rearranged(trimmed)) {
        return *stored;
    }
    // Single digits ("5.3.2006 9:07:00") read too. Date and time are read
    // apart: a wall-clock time has no time zone, and one that falls into a
    // summer-time gap of this machine is as valid as any other.
    const QString parts = trimmed.toString();
    const QDate date = QDate::fromString(parts.section(u' ', 0, 0), u"d.M.yyyy"_s);
    const QTime time = QTime::fromString(parts.section(u' ', 1), u"H:mm:ss"_s);
    if (!date.isValid() || !time.isValid()) {
        throw OrvError(u"Несоответствие типа"_s);
    }
    return date.toString(u"yyyy-MM-dd"_s) + u' ' + time.toString(u"HH:mm:ss"_s);
}

QString toServiceText(const QString& stored) {
    const QDate date = QDate::fromString(stored.left(10), u"yyyy-MM-dd"_s);
    const QTime time = QTime::fromString(stored.mid(11), u"HH:mm:ss"_s);
    if (stored.size() != 19 || !date.isValid() || !time.isValid()) {
        return stored;
    }
    return date.toString(u"dd.MM.yyyy"_s) + u' ' + time.toString(u"HH:mm:ss"_s);
}

QString fromDateTime(const QDateTime& moment) {
    return moment.toString(kStored);
}

QString startOfDay(const QDate& day) {
    return day.toString(u"yyyy-MM-dd"_s) + u" 00:00:00"_s;
}

QString now() {
    return fromDateTime(QDateTime::currentDateTime());
}

} // namespace orv::StoredDate
