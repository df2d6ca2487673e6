#include "StoredDate.h"

#include "app/OrvError.h"

#include <optional>

using namespace Qt::StringLiterals;

namespace orv::StoredDate {
namespace {

const QString kStored = u"yyyy-MM-dd HH:mm:ss"_s;
const QString kService = u"dd.MM.yyyy HH:mm:ss"_s;

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
    // Single digits ("5.3.2006 9:07:00") read too.
    const QDateTime moment = QDateTime::fromString(trimmed.toString(), u"d.M.yyyy H:mm:ss"_s);
    if (!moment.isValid()) {
        throw OrvError(u"Несоответствие типа"_s);
    }
    return moment.toString(kStored);
}

QString toServiceText(const QString& stored) {
    const QDateTime moment = QDateTime::fromString(stored, kStored);
    return moment.isValid() ? moment.toString(kService) : stored;
}

QString fromDateTime(const QDateTime& moment) {
    return moment.toString(kStored);
}

QString now() {
    return fromDateTime(QDateTime::currentDateTime());
}

} // namespace orv::StoredDate
