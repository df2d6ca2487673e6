#pragma once

#include <QString>
#include <optional>

// Settings that hold a Unix time (seconds since 1970-01-01 00:00:00) are shown as
// a date and a time and merged back. No time zone applies either way.
namespace orv::UnixTime {

struct DateAndTime {
    QString date; // dd.MM.yyyy
    QString time; // HH:mm:ss
};

// Ten characters that read as a number, such as 1136073600.
bool looksLikeUnixTime(const QString& value);

// The date and time of a value that looksLikeUnixTime; nothing otherwise.
std::optional<DateAndTime> split(const QString& value);

// The seconds from the epoch to the date and time, as decimal text; nothing
// when either does not read.
std::optional<QString> merge(const QString& date, const QString& time);

} // namespace orv::UnixTime
