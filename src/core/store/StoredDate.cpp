#include "StoredDate.h"

#include "app/OrvError.h"

#include <optional>

using namespace Qt::StringLiterals;

namespace orv::StoredDate {
namespace {

const QString kStored = u"yyyy-MM-dd HH:mm:ss"_s;

} // namespace

// The number the digits at [from, from + length) write, or -1.
static int digitsAt(QStringView t, qsizetype from, qsizetype length) {
    int value = 0;
    for (qsizetype i = from; i < from + length; ++i) {
        const char16_t c = t[i].unicode();
        if (c < u'0' || c > u'9') {
            return -1;
        }
        value = value * 10 + (c - u'0');
    }
    return value;
}

// Dates are rearranged by position, without a parse: this runs for every row
// received and sent.
static bool isValidAt(QStringView t, qsizetype year, qsizetype month, qsizetype day) {
    return QDate::isValid(digitsAt(t, year, 4), digitsAt(t, month, 2), digitsAt(t, day, 2)) &&
           QTime::isValid(digitsAt(t, 11, 2), digitsAt(t, 14, 2), digitsAt(t, 17, 2));
}

// "dd.MM.yyyy hh:mm:ss" as stored.
static std::optional<QString> rearranged(QStringView t) {
    if (t.size() != 19 || t[2] != u'.' || t[5] != u'.' || t[10] != u' ' || t[13] != u':' ||
        t[16] != u':' || !isValidAt(t, 6, 3, 0)) {
        return std::nullopt;
    }
    QString stored;
    stored.reserve(19);
    stored += t.mid(6, 4) + u'-' + t.mid(3, 2) + u'-' + t.mid(0, 2) + u' ' + t.mid(11, 8);
    return stored;
}

// A stored value "yyyy-MM-dd hh:mm:ss" that is a real date and time.
static bool isStored(QStringView t) {
    return t.size() == 19 && t[4] == u'-' && t[7] == u'-' && t[10] == u' ' && t[13] == u':' &&
           t[16] == u':' && isValidAt(t, 0, 5, 8);
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
    if (!isStored(stored)) {
        return stored;
    }
    const QStringView t(stored);
    return t.mid(8, 2) + u'.' + t.mid(5, 2) + u'.' + t.mid(0, 4) + u' ' + t.mid(11, 8);
}

QString toRussianText(const QString& stored) {
    if (!isStored(stored)) {
        return stored;
    }
    const QStringView t(stored);
    const QString day = t.mid(8, 2) + u'.' + t.mid(5, 2) + u'.' + t.mid(0, 4);
    if (t.mid(11) == u"00:00:00") {
        return day;
    }
    return day + u' ' + QString::number(digitsAt(t, 11, 2)) + t.mid(13, 6);
}

QString fromDateTime(const QDateTime& moment) {
    return moment.toString(kStored);
}

QString shifted(const QString& stored, int hours) {
    const QDateTime moment = QDateTime::fromString(stored, kStored);
    if (hours == 0 || !isStored(stored) || !moment.isValid()) {
        return stored;
    }
    // As UTC, so that no summer-time gap of this machine changes the reading.
    return QDateTime(moment.date(), moment.time(), Qt::UTC).addSecs(3600 * hours).toString(kStored);
}

QString startOfDay(const QDate& day) {
    return day.toString(u"yyyy-MM-dd"_s) + u" 00:00:00"_s;
}

QString now() {
    return fromDateTime(QDateTime::currentDateTime());
}

} // namespace orv::StoredDate
