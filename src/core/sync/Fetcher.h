#pragma once

#include "app/Session.h"

#include <QElapsedTimer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <vector>

namespace orv {

class ReceivedMessages;
class ResultDocument;
class Transport;
struct Settings;
struct StoreReport;

// Lists of new identifiers go onto the fetch stack; the stacked items are then
// fetched in batches and stored, each batch together with its stack rows, so
// that an item whose batch did not arrive or could not be stored stays waiting
// for a later run. The batches that came in a second, up to GroupItems items,
// are stored in one transaction: a commit costs the engine as much as storing
// a few dozen items, and a batch is ten posts or twenty-five comments. Their
// search entries are written once for the group, after its batches. The
// store is never held while an answer is awaited.
class Fetcher {
public:
    Fetcher(const Session& session, Transport& transport);
    ~Fetcher();

    // Stacks the identifiers of a list answer and moves the matching check
    // time on, together. Text before the XML declaration is dropped. Pass the
    // answer already parsed, when it is, to spare a second parse.
    void BuildIDstack(QString answer, const ResultDocument* parsed = nullptr);

    // Fetches and stores every waiting item of the kind, batchSize a request,
    // with a progress line per batch.
    void GetMessagesFromStack(const QString& stackType, int batchSize);

    static QString BuildIDquery(const Settings& settings, const QStringList& ids,
                                const QString& stackType);

    // A batch-size setting as a number; throws OrvError for one that is not.
    static int batchSize(const QString& setting);

    // An answer quoted in a status line: long ones are cut, as a line of
    // megabytes helps nobody.
    static QString quoted(const QString& answer);

    // True, with the service's words logged after the prefix, when the
    // answer refuses the run (a wrong password, say) with any code but
    // `usual`: the run's later exchanges are not made, and nothing of the
    // answer is stored.
    bool refused(const ResultDocument& document, const QString& prefix, const QString& usual = {});
    // The logged refusal, or "" when the run was not refused.
    const QString& refusal() const { return m_refusal; }

    // A group is stored once it holds this many items or is this old.
    static constexpr int GroupItems = 500;
    static constexpr qint64 GroupMilliseconds = 1000;

    // Stacked items found when the last fetch of each kind began.
    int PostsReceived = 0;
    int CommentsReceived = 0;
    // How far the local clock was ahead of the service's at the first list
    // answer of the run; nothing before one came.
    std::optional<qint64> clockLag;

private:
    struct Fetched;

    // Reads the answer and adds its items to the group waiting to be stored.
    void store(const QString& stackType, const QStringList& asked, const QString& answer);
    // Stores the waiting group, then stacks the comments of its posts
    // (AutoLoadComments).
    void storeFetched();
    // Stores one answer's items; the identifiers of the posts stored go into
    // storedPosts.
    void save(ReceivedMessages& store, const Fetched& fetched, QStringList& storedPosts);
    // Items a readable answer left out are asked for a few times, not for ever.
    void noteMisses(const QStringList& asked, const QString& stackType);
    // The service's verdict on items that could not be stored, one line each.
    void logFailed(const QString& prefix, const StoreReport& report);
    // All comments of each post go onto the stack (AutoLoadComments).
    void loadAllComments(const QStringList& postIds);

    // The store of the run's batches, made once so that its statements are
    // prepared once; made anew should the user's name change.
    ReceivedMessages& receivedStore();

    Session m_session;
    Transport& m_transport;
    QString m_refusal;
    std::unique_ptr<ReceivedMessages> m_store;
    std::vector<Fetched> m_fetched; // read and not yet stored, in order
    int m_fetchedItems = 0;
    QElapsedTimer m_fetchedSince;
};

} // namespace orv
