#include "Transport.h"

#include "app/Cp1251.h"
#include "app/ErrorTrap.h"
#include "app/StatusLog.h"
#include "app/TextFiles.h"
#include "app/UserPrompts.h"
#include "app/WorkingFolder.h"
#include "decode/XmlTree.h"
#include "store/Settings.h"

#include <QAuthenticator>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <algorithm>
#include <memory>

using namespace Qt::StringLiterals;

namespace orv {
namespace {

const QString kRefused = u"Входные данные не годятся для отправки на сервер Корденет"_s;

// The request body, readable once: the network layer cannot rewind it, so it
// cannot send a request a second time by itself after a dropped connection
// (the service may have acted on the first one, and private messages it
// marked read would be lost).
class OneShotBody : public QIODevice {
public:
    explicit OneShotBody(QByteArray data)
        : m_data(std::move(data)) {
        open(QIODevice::ReadOnly);
    }
    bool isSequential() const override { return true; }
    bool reset() override { return false; }
    qint64 bytesAvailable() const override {
        return m_data.size() - m_position + QIODevice::bytesAvailable();
    }

protected:
    qint64 readData(char* data, qint64 maxSize) override {
        const qint64 count = std::min(maxSize, qint64(m_data.size()) - m_position);
        std::memcpy(data, m_data.constData() + m_position, size_t(count));
        m_position += count;
        return count;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray m_data;
    qint64 m_position = 0;
};

} // namespace

QString Transport::networkErrorText(int code) {
    switch (QNetworkReply::NetworkError(code)) {
    case QNetworkReply::NoError:
        return u"Сервер прислал пустой ответ."_s;
    case QNetworkReply::ConnectionRefusedError:
        return u"Сервер отказал в соединении."_s;
    case QNetworkReply::HostNotFoundError:
        return u"Сервер не найден (проверьте адрес)."_s;
    case QNetworkReply::RemoteHostClosedError:
    case QNetworkReply::ContentReSendError: // closed before answering; never sent twice
        return u"Сервер закрыл соединение, не ответив."_s;
    case QNetworkReply::SslHandshakeFailedError:
        return u"Не удалось установить защищённое соединение (SSL)."_s;
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyConnectionClosedError:
    case QNetworkReply::ProxyNotFoundError:
    case QNetworkReply::ProxyTimeoutError:
    case QNetworkReply::ProxyAuthenticationRequiredError:
        return u"Ошибка прокси-сервера."_s;
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::TemporaryNetworkFailureError:
        return u"Сеть недоступна."_s;
    case QNetworkReply::TooManyRedirectsError:
        return u"Слишком много перенаправлений."_s;
    default:
        return u"Ошибка сети (код "_s + QString::number(code) + u")."_s;
    }
}

namespace {

// The network error in the user's words.
QString describe(QNetworkReply::NetworkError error, bool timedOut, qint64 seconds) {
    if (timedOut) {
        return u"Сервер не ответил за "_s + QString::number(seconds) + u" с."_s;
    }
    return Transport::networkErrorText(error);
}

} // namespace

struct Transport::Reply {
    QByteArray body;
    QString failure;  // the reason, when no answer came
    bool sent = true; // false when the connection was never made
};

Transport::Transport(const Session& session)
    : m_ctx(session) {}

Transport::~Transport() = default;

// One manager serves the run: its thread and its connection are made once. A
// request the service never read is still not sent again on a fresh
// connection, as its body cannot be rewound: the exchange fails instead.
QNetworkAccessManager& Transport::network() {
    if (m_network) {
        return *m_network;
    }
    const Settings& settings = m_ctx.settings;
    m_network = std::make_unique<QNetworkAccessManager>();
    m_network->setProxy(settings.UseProxy ? QNetworkProxy::DefaultProxy : QNetworkProxy::NoProxy);
    // Credentials travel only when the user asked for the proxy.
    const bool useProxy = settings.UseProxy && !settings.ProxyUname.isEmpty();
    const QString user = settings.ProxyUname;
    const QString password = settings.ProxyPass;
    QObject::connect(m_network.get(), &QNetworkAccessManager::proxyAuthenticationRequired,
                     m_network.get(), [=](const QNetworkProxy&, QAuthenticator* authenticator) {
                         if (useProxy && authenticator->user().isEmpty()) {
                             authenticator->setUser(user);
                             authenticator->setPassword(password);
                         }
                     });
    return *m_network;
}

void Transport::useSystemProxySettings() {
    QNetworkProxyFactory::setUseSystemConfiguration(true);
}

QString Transport::endpoint(const Settings& settings) {
    return settings.serviceAddress() + u"/offline_main.php"_s;
}

QByteArray Transport::multipartBody(const QString& requestPath, const QString& requestText) {
    const QString body = u"--"_s + Boundary + u"\r\n"_s +
                         u"Content-disposition: form-data; name=\"xmlfile\"; filename=\""_s +
                         requestPath + u"\"\r\n"_s + u"Content-Type: text/xml\r\n"_s + u"\r\n"_s +
                         requestText + u"\r\n"_s + u"--"_s + Boundary + u"--"_s;
    return body.toUtf8();
}

QString Transport::exchange(const QString& document) {
    m_lastDelivery = Delivery::NotSent;
    if (m_stopped) {
        return {};
    }
    // The request goes out as the request file holds it: in Windows-1251 with
    // a final CR LF, as the service has always received it.
    const QString sent = Cp1251::decode(Cp1251::encode(document)) + u"\r\n"_s;
    const bool failedBefore = m_failedThisRun;
    const QString answer = send(m_ctx.folder.PostFilePath(), sent);
    if (answer.isEmpty() && !failedBefore) {
        keepRequest(document);
    }
    return answer;
}

void Transport::keepRequest(const QString& document) {
    // Written only for a request that failed: rewriting the file for every
    // exchange cost a tenth of a receive, and a request that was answered is
    // no use to anyone reading the file.
    runTrapped(m_ctx.log, u"Mod_Inet.InetExchange: "_s,
               [&] { TextFiles::WriteTextFile(m_ctx.folder.PostFilePath(), document); });
}

QString Transport::send(const QString& requestPath, const QString& text) {
    if (!XmlTree::isWellFormed(text)) {
        m_ctx.log.LogFailure(kRefused);
        return {};
    }
    if (m_failedThisRun) {
        return {}; // the connection failed earlier in this run
    }
    warnOfPlainHttp();
    const Reply reply = post(multipartBody(requestPath, text));
    if (reply.body.isEmpty()) {
        m_lastDelivery = reply.sent ? Delivery::Unknown : Delivery::NotSent;
        m_failedThisRun = true;
        reportFailure(reply.failure);
        return {};
    }
    m_lastDelivery = Delivery::Answered;
    return Cp1251::decode(reply.body);
}

Transport::Reply Transport::post(const QByteArray& body) {
    const Settings& settings = m_ctx.settings;
    QNetworkRequest request{QUrl(endpoint(settings))};
    request.setRawHeader("Content-Type", "multipart/form-data, boundary=" + Boundary.toLatin1());
    request.setHeader(QNetworkRequest::ContentLengthHeader, body.size());
    request.setAttribute(QNetworkRequest::DoNotBufferUploadDataAttribute, true);
    request.setAttribute(QNetworkRequest::Http2AllowedAttribute, false);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);

    const bool useProxy = settings.UseProxy && !settings.ProxyUname.isEmpty();
    const QString user = settings.ProxyUname;
    const QString password = settings.ProxyPass;
    Reply result;
    for (bool authorised = false;; authorised = true) {
        OneShotBody upload(body);
        std::unique_ptr<QNetworkReply> reply(network().post(request, &upload));
        QByteArray received;
        bool timedOut = false;
        bool tooLong = false;
        QEventLoop loop;
        QTimer deadline;
        deadline.setSingleShot(true);
        QObject::connect(&deadline, &QTimer::timeout, reply.get(), [&] {
            timedOut = true;
            reply->abort();
        });
        // Only what has come is read: read(n) would take n bytes of memory
        // first, and the limit is tens of megabytes.
        const auto readMore = [&] {
            received += reply->read(
                std::min<qint64>(reply->bytesAvailable(), MaxAnswerBytes - received.size() + 1));
        };
        QObject::connect(reply.get(), &QNetworkReply::readyRead, reply.get(), [&] {
            readMore();
            if (received.size() > MaxAnswerBytes) {
                tooLong = true; // what came is kept, and reads as a broken answer
                reply->abort();
            }
        });
        QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
        deadline.start(m_ctx.exchangeTimeout);
        if (!reply->isFinished()) {
            loop.exec();
        }
        if (!timedOut && !tooLong && reply->isOpen()) {
            readMore();
        }
        // A server that asks for credentials did not act on the request: it
        // may be asked once more, with the proxy's credentials.
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (status == 401 && useProxy && !authorised) {
            request.setRawHeader("Authorization",
                                 "Basic " + (user + u':' + password).toUtf8().toBase64());
            continue;
        }
        // Past the deadline, what came counts for nothing, as with a lost connection.
        result.body = timedOut ? QByteArray() : received.left(MaxAnswerBytes + 1);
        if (result.body.isEmpty()) {
            result.sent = timedOut || (reply->error() != QNetworkReply::ConnectionRefusedError &&
                                       reply->error() != QNetworkReply::HostNotFoundError);
            result.failure =
                describe(reply->error(), timedOut,
                         std::chrono::ceil<std::chrono::seconds>(m_ctx.exchangeTimeout).count());
        }
        return result;
    }
}

void Transport::warnOfPlainHttp() {
    if (!m_warnedOfPlainHttp && m_ctx.settings.serviceAddress().startsWith(u"http://"_s)) {
        m_warnedOfPlainHttp = true;
        m_ctx.log.LogStatus(u"Внимание: пароль передаётся без шифрования (http://)"_s);
    }
}

void Transport::reportFailure(const QString& reason) {
    if (!m_ctx.ConnectionFailed.exchange(true)) {
        m_ctx.prompts.inform(u"Orvell client"_s,
                             u"Запрос к серверу не выполнен.\r\n\r\n"_s + reason +
                                 u"\r\nПроверьте подключение к интернету и адрес сервиса "
                                 u"(ServiceURL) в настройках."_s,
                             UserPrompts::Icon::Critical);
    }
}

} // namespace orv
