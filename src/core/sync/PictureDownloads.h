#pragma once

#include "app/PictureCheck.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <chrono>
#include <memory>

class QNetworkAccessManager;

namespace orv {

class Database;
class PictureStore;
class StatusLog;

// Fetches pictures into the picture store, a few at a time. Each picture is
// streamed to a file beside the store, so memory stays flat however many
// there are, and is kept only when it arrived whole within the deadline, is
// no bigger than MaxPictureBytes and is a picture. A failure is logged the
// first time the address fails, and counted, so that a later run tries it
// again. Lives on one thread and needs its event loop.
class PictureDownloads : public QObject {
    Q_OBJECT

public:
    static constexpr qint64 MaxPictureBytes = 10 * 1024 * 1024;
    static constexpr int Parallel = 4;
    static constexpr int MaxRedirects = 5;

    struct Limits {
        std::chrono::milliseconds deadline{std::chrono::seconds(60)};
        qint64 cacheBytes = 500LL * 1024 * 1024;
        // The desktop's proxy, as the exchanges use it (UseProxy).
        bool useProxy = false;
    };

    PictureDownloads(Database& db, const QString& folder, StatusLog& log, Limits limits,
                     PictureCheck isPicture, QObject* parent = nullptr);
    ~PictureDownloads() override;

    // Queues the address; one already queued or on its way is not fetched twice.
    void fetch(const QString& url);
    // Drops what waits and aborts what is on its way; nothing of it is kept.
    void cancel();
    bool busy() const { return !m_queue.isEmpty() || !m_transfers.isEmpty(); }

signals:
    void kept(const QString& url);
    void progressed(int done, int total);
    // Nothing waits or is on its way any more.
    void finished();

private:
    struct Transfer;

    void startNext();
    void start(const QString& url);
    void receive(Transfer& transfer);
    void complete(Transfer& transfer);
    // Why the transfer brought no picture, or "" when it did.
    QString failureOf(Transfer& transfer);
    void keep(Transfer& transfer);
    void fail(const QString& url, const QString& reason);
    bool folderWritable();
    QNetworkAccessManager& network();

    std::unique_ptr<PictureStore> m_store;
    StatusLog& m_log;
    const Limits m_limits;
    const PictureCheck m_isPicture;
    std::unique_ptr<QNetworkAccessManager> m_network;
    QStringList m_queue;
    QSet<QString> m_queued; // what m_queue holds, to look up
    // Hosts that let a picture run out of time: their other pictures wait for
    // another time, so a host that never answers costs one deadline, not one
    // a picture.
    QSet<QString> m_slowHosts;
    QHash<QString, Transfer*> m_transfers;
    int m_done = 0;
    int m_total = 0;
    qint64 m_keptBytes = -1; // read from the store when first needed
    bool m_folderChecked = false;
    bool m_folderWritable = false;
};

} // namespace orv
