#include "StandinServer.h"

#include "StandinPictures.h"

#include <QHostAddress>
#include <QSslConfiguration>
#include <QSslServer>
#include <QStringEncoder>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrlQuery>

using namespace Qt::StringLiterals;

namespace standin {
namespace {

QByteArray toWindows1251(const QString& text) {
    QStringEncoder encoder("windows-1251");
    Q_ASSERT(encoder.isValid());
    return encoder.encode(text);
}

QByteArray reasonPhrase(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 401:
        return "Unauthorized";
    default:
        return "Internal Server Error";
    }
}

// Set on a socket whose client asked for the connection to end with the answer.
constexpr const char* kCloseAfterAnswer = "closeAfterAnswer";

// Answers in full. The connection stays open for the client's next request, as
// a web server's does, unless the client asked otherwise.
void respond(QTcpSocket* socket, int status, const QByteArray& body, const QByteArray& contentType,
             const QByteArray& extraHeaders = {}) {
    const bool close = socket->property(kCloseAfterAnswer).toBool();
    QByteArray head = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status) +
                      "\r\nContent-Type: " + contentType +
                      "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n" +
                      (close ? "Connection: close\r\n" : "") + extraHeaders + "\r\n";
    socket->write(head + body);
    if (close) {
        socket->disconnectFromHost();
    }
}

// Sends the status line and the headers, then one byte of the answer every
// intervalMs and blanks once the answer is out, until the client goes away. The
// timer is a child of the socket, so it dies with it and never touches a socket
// that is gone.
void trickle(QTcpSocket* socket, int status, const QByteArray& answer, int intervalMs) {
    socket->write("HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status) +
                  "\r\nContent-Type: text/xml; charset=windows-1251\r\nConnection: close\r\n\r\n");
    auto* timer = new QTimer(socket);
    timer->setInterval(intervalMs);
    QObject::connect(
        timer, &QTimer::timeout, socket, [socket, answer, sent = qsizetype(0)]() mutable {
            socket->write(sent < answer.size() ? answer.mid(sent, 1) : QByteArray(" "));
            ++sent;
        });
    QObject::connect(socket, &QTcpSocket::disconnected, timer, &QTimer::stop);
    timer->start();
}

// The content of the multipart field "xmlfile" and its file name.
void extractXmlFile(ReceivedRequest& request) {
    const QByteArray type = request.headers.value("content-type");
    const qsizetype at = type.indexOf("boundary=");
    if (at < 0) {
        return;
    }
    const QByteArray boundary = "--" + type.mid(at + 9).trimmed();
    const QByteArray& body = request.body;
    const qsizetype partStart = body.indexOf(boundary);
    const qsizetype headersEnd = body.indexOf("\r\n\r\n", partStart);
    if (partStart < 0 || headersEnd < 0) {
        return;
    }
    const QByteArray partHeaders = body.mid(partStart, headersEnd - partStart);
    if (!partHeaders.contains("name=\"xmlfile\"")) {
        return;
    }
    const qsizetype nameAt = partHeaders.indexOf("filename=\"");
    if (nameAt >= 0) {
        const qsizetype nameEnd = partHeaders.indexOf('"', nameAt + 10);
        request.fileName = partHeaders.mid(nameAt + 10, nameEnd - nameAt - 10);
    }
    const qsizetype contentStart = headersEnd + 4;
    const qsizetype contentEnd = body.indexOf(QByteArray("\r\n" + boundary), contentStart);
    request.xmlFile = body.mid(contentStart, contentEnd < 0 ? -1 : contentEnd - contentStart);
}

} // namespace

StandinServer::StandinServer(StandinData& data, QObject* parent)
    : QObject(parent)
    , m_data(data)
    , m_service(data) {}

StandinServer::~StandinServer() = default;

bool StandinServer::listen(quint16 port) {
    m_server = new QTcpServer(this);
    connect(m_server, &QTcpServer::newConnection, this, &StandinServer::onConnection);
    return listening(m_server->listen(QHostAddress::LocalHost, port));
}

bool StandinServer::listenTls(const QSslCertificate& certificate, const QSslKey& key,
                              quint16 port) {
    auto* server = new QSslServer(this);
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    configuration.setLocalCertificate(certificate);
    configuration.setPrivateKey(key);
    server->setSslConfiguration(configuration);
    connect(server, &QTcpServer::pendingConnectionAvailable, this, &StandinServer::onConnection);
    m_server = server;
    m_tls = true;
    return listening(m_server->listen(QHostAddress::LocalHost, port));
}

bool StandinServer::listening(bool listens) {
    if (listens) {
        m_data.rehost(url());
    }
    return listens;
}

quint16 StandinServer::port() const {
    return m_server ? m_server->serverPort() : 0;
}

QString StandinServer::url() const {
    return (m_tls ? u"https://127.0.0.1:"_s : u"http://127.0.0.1:"_s) + QString::number(port());
}

void StandinServer::setFault(Fault fault, int count, int delayMs, int skip) {
    m_fault = fault;
    m_faultCount = count;
    m_delayMs = delayMs;
    m_faultSkip = skip;
}

void StandinServer::requireBasicAuth(const QString& user, const QString& password) {
    m_requiredAuth = "Basic " + (user + u':' + password).toUtf8().toBase64();
}

bool StandinServer::faultFromName(const QString& name, Fault& fault) {
    static const QHash<QString, Fault> names = {
        {u"none"_s, Fault::None},           {u"delay"_s, Fault::Delay},
        {u"silent"_s, Fault::Silent},       {u"drop"_s, Fault::Drop},
        {u"http500"_s, Fault::Http500},     {u"garbage"_s, Fault::Garbage},
        {u"truncated"_s, Fault::Truncated}, {u"warning"_s, Fault::Warning},
        {u"errorpage"_s, Fault::ErrorPage}, {u"trickle"_s, Fault::Trickle},
        {u"lose"_s, Fault::Drop},
    };
    const auto it = names.find(name);
    if (it == names.end()) {
        return false;
    }
    fault = it.value();
    return true;
}

Fault StandinServer::takeFault() {
    if (m_fault == Fault::None || m_faultCount == 0) {
        return Fault::None;
    }
    if (m_faultSkip > 0) {
        --m_faultSkip;
        return Fault::None;
    }
    const Fault fault = m_fault;
    if (m_faultCount > 0 && --m_faultCount == 0) {
        m_fault = Fault::None;
    }
    return fault;
}

void StandinServer::onConnection() {
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadable(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_buffers.remove(socket);
            socket->deleteLater();
        });
    }
}

void StandinServer::onReadable(QTcpSocket* socket) {
    QByteArray& buffer = m_buffers[socket];
    buffer += socket->readAll();
    const qsizetype headerEnd = buffer.indexOf("\r\n\r\n");
    if (headerEnd < 0) {
        return;
    }
    ReceivedRequest request;
    const QList<QByteArray> lines = buffer.left(headerEnd).split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    request.method = requestLine.value(0);
    request.path = requestLine.value(1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines[i].indexOf(':');
        if (colon > 0) {
            request.headers.insert(lines[i].left(colon).trimmed().toLower(),
                                   lines[i].mid(colon + 1).trimmed());
        }
    }
    const qsizetype length = request.headers.value("content-length", "0").toLongLong();
    if (buffer.size() - headerEnd - 4 < length) {
        return; // the body is still on its way
    }
    request.body = buffer.mid(headerEnd + 4, length);
    buffer.remove(0, headerEnd + 4 + length); // a request that follows stays
    socket->setProperty(kCloseAfterAnswer,
                        request.headers.value("connection").toLower() == "close" ||
                            requestLine.value(2) == "HTTP/1.0");
    handle(socket, std::move(request));
}

void StandinServer::handle(QTcpSocket* socket, ReceivedRequest request) {
    if (request.path == "/control") {
        handleControl(socket, request);
        return;
    }
    if (request.method == "GET" && StandinPictures::serves(request.path)) {
        m_received.append(request);
        emit requestReceived(int(m_received.size()) - 1);
        StandinPictures::answer(socket, request.path);
        return;
    }
    if (!m_requiredAuth.isEmpty() && request.headers.value("authorization") != m_requiredAuth) {
        m_received.append(request);
        emit requestReceived(int(m_received.size()) - 1);
        respond(socket, 401, "<html><body>Authorization required</body></html>", "text/html",
                "WWW-Authenticate: Basic realm=\"Kordenet\"\r\n");
        return;
    }
    extractXmlFile(request);
    m_received.append(request);
    emit requestReceived(int(m_received.size()) - 1);

    const Fault fault = takeFault();
    int status = 200;
    QByteArray answer = answerFor(m_received.last(), status);
    switch (fault) {
    case Fault::None:
    case Fault::Delay:
        break;
    case Fault::Silent:
        return;
    case Fault::Drop:
        socket->abort();
        return;
    case Fault::Http500:
        status = 500;
        answer = "<html><head><title>500 Internal Server Error</title></head><body>"
                 "<h1>Internal Server Error</h1></body></html>";
        break;
    case Fault::Garbage:
        answer = "\x01\x02 this is not xml \xff\xfe <<<>>> &&&";
        break;
    case Fault::Truncated:
        answer.truncate(answer.size() / 2);
        break;
    case Fault::Warning:
        answer.prepend("<br />\n<b>Warning</b>: mysql_connect(): Too many connections in "
                       "<b>/var/www/offline_main.php</b> on line <b>12</b><br />\n");
        break;
    case Fault::ErrorPage:
        answer = toWindows1251(u"<html><body>Выводим xml с ошибкой</body></html>"_s);
        break;
    case Fault::Trickle:
        trickle(socket, status, answer, m_delayMs > 0 ? m_delayMs : 1000);
        return;
    }
    const int delay = fault == Fault::Delay ? m_delayMs : 0;
    QTimer::singleShot(delay, socket, [socket, status, answer] {
        respond(socket, status, answer, "text/xml; charset=windows-1251");
    });
}

void StandinServer::handleControl(QTcpSocket* socket, const ReceivedRequest& request) {
    const QUrlQuery query(QString::fromUtf8(request.body));
    // New data while it runs, so that a second fetch finds something.
    if (query.hasQueryItem(u"add-smiley"_s)) {
        const int id = m_data.smiles.empty() ? 1 : m_data.smiles.back().id + 1;
        m_data.smiles.push_back({id, query.queryItemValue(u"add-smiley"_s, QUrl::FullyDecoded),
                                 query.queryItemValue(u"url"_s, QUrl::FullyDecoded)});
        respond(socket, 200, "ok", "text/plain");
        return;
    }
    if (query.hasQueryItem(u"add-comment"_s)) {
        const int postId = query.queryItemValue(u"add-comment"_s).toInt();
        if (!m_data.findPost(postId)) {
            respond(socket, 500, "unknown post", "text/plain");
            return;
        }
        m_data.addComment(postId, m_data.buddies.value(0, m_data.user),
                          query.queryItemValue(u"text"_s, QUrl::FullyDecoded));
        respond(socket, 200, "ok", "text/plain");
        return;
    }
    if (query.hasQueryItem(u"flood"_s)) {
        m_service.floodProtection = query.queryItemValue(u"flood"_s) != u"off"_s;
        respond(socket, 200, "ok", "text/plain");
        return;
    }
    if (query.hasQueryItem(u"reject"_s)) {
        m_service.reject(query.queryItemValue(u"reject"_s), query.queryItemValue(u"code"_s));
        respond(socket, 200, "ok", "text/plain");
        return;
    }
    Fault fault = Fault::None;
    if (!faultFromName(query.queryItemValue(u"fault"_s), fault)) {
        respond(socket, 500, "unknown fault", "text/plain");
        return;
    }
    const QString count = query.queryItemValue(u"count"_s);
    setFault(fault, count.isEmpty() ? -1 : count.toInt(), query.queryItemValue(u"delay"_s).toInt(),
             query.queryItemValue(u"skip"_s).toInt());
    respond(socket, 200, "ok", "text/plain");
}

QByteArray StandinServer::answerFor(const ReceivedRequest& request, int& status) {
    status = 200;
    if (request.method != "POST" || !request.path.startsWith("/offline_main.php")) {
        status = 500;
        return "<html><body>Not found</body></html>";
    }
    return toWindows1251(m_service.answer(request.xmlFile));
}

} // namespace standin
