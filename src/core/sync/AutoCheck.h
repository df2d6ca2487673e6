#pragma once

#include "app/Session.h"
#include "store/Options.h"

#include <QString>
#include <optional>

namespace orv {

// What an automatic check brought.
struct CheckReport {
    int posts = 0;
    int comments = 0;
    int privates = 0;
    // The service refused the check (a wrong password, say): its words.
    QString refusal;
    std::optional<qint64> clockLag; // see Fetcher::clockLag
    bool anything() const { return posts + comments + privates > 0; }
};

// The clock of the automatic checks: one tick a second, a check when the
// interval is reached and checks are on. A tick touches neither the store nor
// a file.
class AutoCheck {
public:
    static constexpr int DefaultMinutes = 10;
    static constexpr int MaxMinutes = 24 * 60;

    // A whole number of minutes from 1 to a day, or nothing.
    static std::optional<int> minutes(const QString& text);
    // The interval a stored text stands for; one that is not valid counts as
    // the default, never as a check every second.
    static qint64 intervalSeconds(const QString& text);

    // Counts a tick; true when a check is due. The count stops at the
    // interval, so it never overflows while checks are off or held back.
    bool tick(const Options& options);
    void restart() { m_seconds = 0; }
    qint64 AutoCheckSeconds() const { return m_seconds; }

    // The check itself, on the exchange thread: the receives the options
    // choose, the integrity check, the report line, then the send run. A
    // check the service refuses ends at the refusal, which is its report.
    static CheckReport run(const Session& session, const Options& options);

private:
    qint64 m_seconds = 0;
};

} // namespace orv
