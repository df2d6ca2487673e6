#pragma once

#include "Fetcher.h"
#include "app/Session.h"
#include "exchange/Transport.h"

namespace orv {

// Getting everything new: posts, comments, private messages, the friends
// lists, then the integrity check and the counts. Each step has its own trap,
// so a failing one never stops the next.
class ReceiveRun {
public:
    explicit ReceiveRun(const Session& session);

    // "Соединяюсь с сервером...", the four fetches, the integrity check and
    // "Получено: постов - N, комментариев - M".
    void run();

    void GetPost();
    void GetComment();
    void GetPrivat();
    void GetFriends();

    // Fetches the posts that stored comments name but the store lacks.
    void CheckDatabaseIntegrity();
    void AddMissedPostsToStack(const QStringList& ids);

    Fetcher& fetcher() { return m_fetcher; }

private:
    // Exchanges a request document and returns the answer.
    QString exchange(const QString& document);
    // The list fetches of posts and comments share their steps.
    void getList(const QString& document, const QString& stackType, const QString& batchSetting,
                 const QString& loadingLine, const QString& prefix);

    Session m_session;
    Transport m_transport;
    Fetcher m_fetcher;
};

} // namespace orv
