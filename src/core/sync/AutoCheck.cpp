#include "AutoCheck.h"

#include "ReceiveRun.h"
#include "SendRun.h"
#include "app/ErrorTrap.h"
#include "app/StatusLog.h"

#include <QTime>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace orv {

std::optional<int> AutoCheck::minutes(const QString& text) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok || value < 1 || value > MaxMinutes) {
        return std::nullopt;
    }
    return value;
}

qint64 AutoCheck::intervalSeconds(const QString& text) {
    return qint64(minutes(text).value_or(DefaultMinutes)) * 60;
}

bool AutoCheck::tick(const Options& options) {
    const qint64 interval = intervalSeconds(options.time_update);
    m_seconds = std::min(m_seconds + 1, interval);
    return options.check_update && m_seconds >= interval;
}

CheckReport AutoCheck::run(const Session& session, const Options& options) {
    CheckReport report;
    runTrapped(session.log, u"MainForm.Timer: "_s, [&] {
        ReceiveRun receive(session);
        session.log.LogStatus(u"Автозакачивание::Соединяюсь с сервером..."_s);
        const auto stored = receive.picturesMark();
        if (options.check_post) {
            receive.GetPost();
        }
        if (options.check_comment) {
            receive.GetComment();
        }
        if (options.check_privat) {
            receive.GetPrivat();
        }
        if (options.check_friends) {
            receive.GetFriends();
        }
        receive.CheckDatabaseIntegrity();
        receive.GetPictures(stored); // read offline later, from the tray
        report.refusal = receive.refusal();
        if (!report.refusal.isEmpty()) {
            return;
        }
        Fetcher& fetcher = receive.fetcher();
        report.clockLag = fetcher.clockLag;
        report.posts = fetcher.PostsReceived;
        report.comments = fetcher.CommentsReceived;
        report.privates = receive.PrivatesReceived;
        session.log.LogStatus(u"В "_s + QTime::currentTime().toString(u"H:mm:ss"_s) +
                              u" получено: постов - "_s + QString::number(report.posts) +
                              u", комментариев - "_s + QString::number(report.comments) +
                              receive.waitingSuffix());
        fetcher.PostsReceived = 0;
        fetcher.CommentsReceived = 0;
    });
    // Whatever else the receives did, what waits in the outbox goes out.
    if (report.refusal.isEmpty()) {
        // Nobody may be there to answer: what is in doubt waits for the user.
        SendRun(session, SendRun::InDoubt::Keep).run();
    }
    return report;
}

} // namespace orv
