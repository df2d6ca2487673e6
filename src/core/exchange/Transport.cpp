#include "Transport.h"

#include "app/Cp1251.h"
#include "app/ErrorTrap.h"
#include "app/Session.h"
#include "app/StatusLog.h"
#include "app/TextFiles.h"
#include "app/UserPrompts.h"
#include "store/Settings.h"

#include <QAuthenticator>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QXmlStreamReader>

using namespace Qt::StringLiterals;

namespace orv {
namespace {

const QString kRefused = u"Входные данные не годятся для отправки на сервер Корденет"_s;

const QString kFailureText =
    u"Запрос к серверу не выполнен.\r\n\r\n"
    u"Возможно, вы не подключены к интернету, или Windows находится в режиме оффлайн\r\n"
    u"(в Internet Explorer в меню 'Файл' пункт 'Работать автономно' не должен быть отмечен)."_s;

bool isWellFormed(const QString& text) {
    QXmlStreamReader reader(text);
    while (!reader.atEnd()) {
        reader.readNext();
    }
    return !reader.hasError();
}

} // namespace

Transport::Transport(const Session& session)
    : m_ctx(session)
    , m_network(std::make_unique<QNetworkAccessManager>()) {}

Transport::~Transport() = default;

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

QString Transport::InetExchange(const QString& requestPath) {
    QByteArray body;
    const bool prepared = runTrapped(m_ctx.log, u"Mod_Inet.InetExchange: "_s, [&] {
        const QString text = TextFiles::ReadWholeFile(requestPath);
        if (!isWellFormed(text)) {
            m_ctx.log.LogFailure(kRefused);
            return;
        }
        body = multipartBody(requestPath, text);
    });
    if (!prepared || body.isEmpty()) {
        return {};
    }
    const QByteArray answer = post(body);
    if (answer.isEmpty()) {
        reportFailure();
        return {};
    }
    return Cp1251::decode(answer);
}

QByteArray Transport::post(const QByteArray& body) {
    const Settings& settings = m_ctx.settings;
    QNetworkRequest request{QUrl(endpoint(settings))};
    request.setRawHeader("Content-Type", "multipart/form-data, boundary=" + Boundary.toLatin1());
    request.setTransferTimeout(int(m_ctx.exchangeTimeout.count()));

    // Credentials travel only when the user asked for the proxy.
    if (settings.UseProxy) {
        m_network->setProxy(QNetworkProxy::DefaultProxy);
        QNetworkProxyFactory::setUseSystemConfiguration(true);
    } else {
        m_network->setProxy(QNetworkProxy::NoProxy);
    }
    const bool useProxy = settings.UseProxy;
    const QString user = settings.ProxyUname;
    const QString password = settings.ProxyPass;
    const auto supplyCredentials = [useProxy, user, password](QAuthenticator* authenticator) {
        if (useProxy && authenticator->user().isEmpty()) {
            authenticator->setUser(user);
            authenticator->setPassword(password);
        }
    };

    const std::unique_ptr<QNetworkReply> reply(m_network->post(request, body));
    QObject::connect(m_network.get(), &QNetworkAccessManager::authenticationRequired, reply.get(),
                     [supplyCredentials, ours = reply.get()](QNetworkReply* r, QAuthenticator* a) {
                         if (r == ours) {
                             supplyCredentials(a);
                         }
                     });
    QObject::connect(
        m_network.get(), &QNetworkAccessManager::proxyAuthenticationRequired, reply.get(),
        [supplyCredentials](const QNetworkProxy&, QAuthenticator* a) { supplyCredentials(a); });
    QEventLoop loop;
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished()) {
        loop.exec();
    }
    return reply->isOpen() ? reply->readAll() : QByteArray(); // closed when it timed out
}

void Transport::reportFailure() {
    if (!m_ctx.ConnectionFailed.exchange(true)) {
        m_ctx.prompts.inform(u"Orvell client"_s, kFailureText, UserPrompts::Icon::Critical);
    }
}

} // namespace orv
