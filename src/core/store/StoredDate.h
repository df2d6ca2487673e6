#pragma once

#include <QDateTime>
#include <QString>

// Date-times are stored as "yyyy-MM-dd hh:mm:ss" text, which sorts and compares
// in time order; the service writes them "dd.MM.yyyy hh:mm:ss".
namespace orv::StoredDate {

// The service's text as stored; throws OrvError ("Несоответствие типа") when
// it is no date.
QString fromServiceText(const QString& text);

// A stored value back in the service's form ("" for an empty one).
QString toServiceText(const QString& stored);

// A stored value as the Russian regional settings show a date-time, the form
// outgoing messages carry: "05.03.2006 9:07:00", the time left out at exact
// midnight ("05.03.2006"). Text that is no stored date comes back unchanged.
QString toRussianText(const QString& stored);

QString fromDateTime(const QDateTime& moment);

// A stored value moved by whole hours, as a wall-clock reading (no time zone
// in between). Text that is no stored date comes back unchanged.
QString shifted(const QString& stored, int hours);

// Midnight at the start of the day, as stored.
QString startOfDay(const QDate& day);

// The current local date and time, as stored.
QString now();

} // namespace orv::StoredDate
