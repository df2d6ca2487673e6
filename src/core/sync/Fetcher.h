#pragma once

#include "app/Session.h"

#include <QString>
#include <QStringList>

namespace orv {

class Transport;
struct Settings;

// Lists of new identifiers go onto the fetch stack; the stacked items are then
// fetched in batches and stored.
class Fetcher {
public:
    Fetcher(const Session& session, Transport& transport);

    // Stacks the identifiers of a list answer and moves the matching check
    // time on. Text before the XML declaration is dropped.
    void BuildIDstack(QString answer);

    // Fetches and stores every waiting item of the kind, batchSize a request,
    // with a progress line per batch.
    void GetMessagesFromStack(const QString& stackType, int batchSize);

    static QString BuildIDquery(const Settings& settings, const QStringList& ids,
                                const QString& stackType);

    // A batch-size setting as a number; throws OrvError for one that is not.
    static int batchSize(const QString& setting);

    // Stacked items found when the last fetch of each kind began.
    int PostsReceived = 0;
    int CommentsReceived = 0;

private:
    void store(const QString& stackType);

    Session m_session;
    Transport& m_transport;
};

} // namespace orv
