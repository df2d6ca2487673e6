#include "PictureDownloads.h"

#include "app/ErrorTrap.h"
#include "app/StatusLog.h"
#include "exchange/Transport.h"
#include "render/PictureLinks.h"
#include "store/PictureStore.h"

#include <QDir>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QPointer>
#include <QTimer>
#include <atomic>

using namespace Qt::StringLiterals;

namespace orv {

// Deleted later, as it may end inside a signal of its own timer or reply.
struct PictureDownloads::Transfer : QObject {
    QString url;
    QPointer<QNetworkReply> reply; // the manager's child
    QFile part;
    QTimer deadline;
    qint64 received = 0;
    QString refusal; // why the transfer was cut short by us
    bool cancelled = false;
};

PictureDownloads::PictureDownloads(Database& db, const QString& folder, StatusLog& log,
                                   Limits limits, PictureCheck isPicture, QObject* parent)
    : QObject(parent)
    , m_store(std::make_unique<PictureStore>(db, folder))
    , m_log(log)
    , m_limits(limits)
    , m_isPicture(std::move(isPicture)) {}

PictureDownloads::~PictureDownloads() {
    disconnect(this, nullptr, nullptr, nullptr); // nobody hears of the cancelled ones
    cancel();
}

QNetworkAccessManager& PictureDownloads::network() {
    if (!m_network) {
        m_network = std::make_unique<QNetworkAccessManager>();
        m_network->setProxy(m_limits.useProxy ? QNetworkProxy::DefaultProxy
                                              : QNetworkProxy::NoProxy);
    }
    return *m_network;
}

bool PictureDownloads::folderWritable() {
    if (!m_folderChecked) {
        m_folderChecked = true;
        QFile probe(m_store->folder() + u"/.probe"_s);
        m_folderWritable = QDir().mkpath(m_store->folder()) && probe.open(QIODevice::WriteOnly);
        probe.remove();
        if (!m_folderWritable) {
            m_log.LogStatus(u"Картинки не сохраняются: нельзя записать в папку "_s +
                            QDir::toNativeSeparators(m_store->folder()));
        }
    }
    return m_folderWritable;
}

void PictureDownloads::fetch(const QString& url) {
    if (!folderWritable() || m_queued.contains(url) || m_transfers.contains(url)) {
        return;
    }
    m_queue.append(url);
    m_queued.insert(url);
    ++m_total;
    startNext();
}

void PictureDownloads::startNext() {
    while (m_transfers.size() < Parallel && !m_queue.isEmpty()) {
        const QString url = m_queue.takeFirst();
        m_queued.remove(url);
        if (m_slowHosts.contains(QUrl(url).host())) {
            emit progressed(++m_done, m_total); // not fetched, and no failure of its own
            continue;
        }
        start(url);
    }
    if (!busy()) {
        emit finished();
    }
}

void PictureDownloads::start(const QString& url) {
    auto* transfer = new Transfer;
    transfer->setParent(this);
    transfer->url = url;
    m_transfers.insert(url, transfer);
    // The window and a run may fetch the same picture at once: each writes a
    // file of its own, and the one kept last wins whole.
    static std::atomic<quint64> transfers{0};
    transfer->part.setFileName(m_store->pathFor(url) + u".part"_s + QString::number(++transfers));
    if (!PictureLinks::fetchable(url) || !transfer->part.open(QIODevice::WriteOnly)) {
        transfer->refusal = PictureLinks::fetchable(url)
                                ? u"не удалось записать файл "_s + transfer->part.fileName()
                                : u"адрес не http и не https"_s;
        QTimer::singleShot(0, this, [this, transfer] { complete(*transfer); });
        return;
    }
    QNetworkRequest request{QUrl(url)};
    // Redirects are followed to http and https only, never from https to http.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(MaxRedirects);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    transfer->reply = network().get(request);
    QNetworkReply* reply = transfer->reply;
    connect(reply, &QNetworkReply::metaDataChanged, reply, [reply, transfer] {
        if (reply->header(QNetworkRequest::ContentLengthHeader).toLongLong() > MaxPictureBytes) {
            transfer->refusal = u"больше 10 МБ"_s;
            reply->abort();
        }
    });
    connect(reply, &QNetworkReply::readyRead, this, [this, transfer] { receive(*transfer); });
    connect(reply, &QNetworkReply::finished, this, [this, transfer] { complete(*transfer); });
    transfer->deadline.setSingleShot(true);
    connect(&transfer->deadline, &QTimer::timeout, reply, [this, reply, transfer] {
        m_slowHosts.insert(reply->url().host());
        transfer->refusal =
            u"нет ответа за "_s +
            QString::number(std::chrono::ceil<std::chrono::seconds>(m_limits.deadline).count()) +
            u" с"_s;
        reply->abort();
    });
    transfer->deadline.start(m_limits.deadline);
}

void PictureDownloads::receive(Transfer& transfer) {
    const QByteArray bytes = transfer.reply->readAll();
    transfer.received += bytes.size();
    if (transfer.received > MaxPictureBytes) {
        transfer.refusal = u"больше 10 МБ"_s;
        transfer.reply->abort();
        return;
    }
    if (transfer.part.write(bytes) != bytes.size()) {
        transfer.refusal = u"не удалось записать файл: "_s + transfer.part.errorString();
        transfer.reply->abort();
    }
}

void PictureDownloads::complete(Transfer& transfer) {
    transfer.deadline.stop();
    if (transfer.reply) {
        transfer.reply->disconnect(this);
        if (transfer.refusal.isEmpty() && transfer.reply->isOpen()) {
            receive(transfer);
        }
        transfer.reply->deleteLater();
    }
    transfer.part.close();
    const QString failure = failureOf(transfer);
    if (failure.isEmpty()) {
        keep(transfer);
    } else {
        transfer.part.remove();
        if (!transfer.cancelled) {
            fail(transfer.url, failure); // a cancelled one is no failure of its address
        }
    }
    m_transfers.remove(transfer.url);
    transfer.deleteLater();
    emit progressed(++m_done, m_total);
    startNext();
}

QString PictureDownloads::failureOf(Transfer& transfer) {
    if (!transfer.refusal.isEmpty()) {
        return transfer.refusal;
    }
    QNetworkReply& reply = *transfer.reply;
    const int status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status >= 400 || (status != 200 && reply.error() == QNetworkReply::NoError)) {
        return u"ответ сервера "_s + QString::number(status);
    }
    if (reply.error() != QNetworkReply::NoError) {
        return Transport::networkErrorText(reply.error());
    }
    QFile file(transfer.part.fileName());
    const bool picture = file.open(QIODevice::ReadOnly) &&
                         PictureSignature::looksLikePicture(file.read(16)) &&
                         (!m_isPicture || m_isPicture(file.fileName()));
    return picture ? QString() : u"это не картинка"_s;
}

void PictureDownloads::keep(Transfer& transfer) {
    runTrapped(m_log, u"PictureDownloads.Keep: "_s, [&] {
        m_store->keep(transfer.url, transfer.part.fileName());
        if (m_keptBytes < 0) {
            m_keptBytes = m_store->keptBytes();
        } else {
            m_keptBytes += transfer.received;
        }
        if (m_keptBytes > m_limits.cacheBytes) {
            m_store->evict(m_limits.cacheBytes);
            m_keptBytes = m_store->keptBytes();
        }
        emit kept(transfer.url);
    });
}

void PictureDownloads::fail(const QString& url, const QString& reason) {
    runTrapped(m_log, u"PictureDownloads.Fail: "_s, [&] {
        if (m_store->missed(url)) {
            m_log.LogStatus(u"Картинка не загружена: "_s + url + u" ("_s + reason + u')');
        }
    });
}

void PictureDownloads::cancel() {
    m_total -= int(m_queue.size());
    m_queue.clear();
    m_queued.clear();
    const auto transfers = m_transfers.values();
    for (Transfer* transfer : transfers) {
        transfer->refusal = u"прервано"_s;
        transfer->cancelled = true;
        if (transfer->reply) {
            transfer->reply->abort(); // finishes it at once
        }
    }
}

} // namespace orv
