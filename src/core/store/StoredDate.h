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

QString fromDateTime(const QDateTime& moment);

// Midnight at the start of the day, as stored.
QString startOfDay(const QDate& day);

// The current local date and time, as stored.
QString now();

} // namespace orv::StoredDate
