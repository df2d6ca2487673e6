#pragma once

#include "Fetcher.h"
#include "app/Session.h"
#include "decode/ResultDocument.h"
#include "exchange/Transport.h"
#include "store/PictureStore.h"

#include <optional>

namespace orv {

// Getting everything new: posts, comments, private messages, the friends
// lists, then the integrity check and the counts. Each step has its own trap,
// so a failing one never stops the next.
class ReceiveRun {
public:
    explicit ReceiveRun(const Session& session);

    // "Соединяюсь с сервером...", the four fetches, the integrity check and
    // "Получено: постов - N, комментариев - M", with what is still waiting.
    void run();

    void GetPost();
    void GetComment();
    void GetPrivat();
    void GetFriends();

    // Where the store stands before the fetches (nothing when it cannot be
    // read), and then the pictures the messages stored since then name:
    // remembered always, fetched unless the run was stopped.
    std::optional<PictureStore::Mark> picturesMark();
    void GetPictures(const std::optional<PictureStore::Mark>& mark);

    // Fetches the posts that stored comments name but the store lacks.
    void CheckDatabaseIntegrity();
    void AddMissedPostsToStack(const QStringList& ids);

    Fetcher& fetcher() { return m_fetcher; }
    // The service refused the run: its text as logged, else "".
    const QString& refusal() const { return m_fetcher.refusal(); }
    // Private messages stored by the last GetPrivat.
    int PrivatesReceived = 0;
    // ". Не получено: ..." when stacked items still wait, else "".
    QString waitingSuffix();

private:
    // The list fetches of posts and comments share their steps.
    void getList(const QString& document, const QString& stackType, const QString& batchSetting,
                 const QString& loadingLine, const QString& prefix);
    // Parses an answer, or logs the failure line and gives nothing.
    std::optional<ResultDocument> parsed(const QString& answer, const QString& failureLine);
    // No more exchanges in this run: cancelled, or refused by the service.
    bool stopped() const;
    // Decodes and stores private messages; the kept answer they came in
    // goes in the same transaction.
    void storePrivates(const ResultDocument& document, std::optional<qint64> keptAnswer);
    // Announces arrivals and departures of the friends lists, and removes
    // the departed.
    void CheckFriends();
    // The run's final line.
    QString receivedLine();

    Session m_session;
    Transport m_transport;
    Fetcher m_fetcher;
};

} // namespace orv
