#include "ExchangeFixture.h"
#include "exchange/RequestDocuments.h"
#include "exchange/Transport.h"

#include <QProcess>
#include <QSslConfiguration>
#include <QSslKey>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace orv;

namespace {

const QString kFailureText =
    u"Запрос к серверу не выполнен.\r\n\r\nСервер отказал в соединении.\r\n"
    u"Проверьте подключение к интернету и адрес сервиса (ServiceURL) в настройках."_s;

// Answers every connection with fixed bytes after the status line and headers.
class RawServer : public QTcpServer {
public:
    explicit RawServer(QByteArray body)
        : m_body(std::move(body)) {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, [this] {
            QTcpSocket* socket = nextPendingConnection();
            connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                if (!socket->readAll().isEmpty() && !m_answered.contains(socket)) {
                    m_answered.append(socket);
                    socket->write(
                        "HTTP/1.1 200 OK\r\nContent-Length: " + QByteArray::number(m_body.size()) +
                        "\r\nConnection: close\r\n\r\n" + m_body);
                    socket->disconnectFromHost();
                }
            });
        });
    }
    QString url() const { return u"http://127.0.0.1:"_s + QString::number(serverPort()); }

private:
    QByteArray m_body;
    QList<QTcpSocket*> m_answered;
};

quint16 closedPort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort(); // closed again when probe goes
}

} // namespace

class TransportTest : public QObject {
    Q_OBJECT

private slots:
    void answerComesBackAsText() {
        test::ExchangeFixture f(20);
        Transport transport(f.ctx.session());
        const QString answer =
            transport.InetExchange(f.writeRequest(RequestDocuments::getRel(f.ctx.settings)));
        QVERIFY2(answer.startsWith(u"<?xml version='1.0' encoding='windows-1251'?><results>"_s),
                 qPrintable(answer.left(200)));
        QVERIFY(answer.contains(u"<BUDDY>Ёжик</BUDDY>"_s)); // Cyrillic from Windows-1251
        QVERIFY(f.prompts.messages.isEmpty());
        QVERIFY(!f.ctx.ConnectionFailed);
    }

    void multipartBodyIsExactlyAsSent() {
        test::ExchangeFixture f;
        Transport transport(f.ctx.session());
        const QString document = RequestDocuments::newPosts(f.ctx.settings);
        const QString path = f.writeRequest(document);
        transport.InetExchange(path);

        QCOMPARE(f.server.received().size(), 1);
        const standin::ReceivedRequest& request = f.server.received().first();
        QCOMPARE(request.method, QByteArray("POST"));
        QCOMPARE(request.path, QByteArray("/offline_main.php"));
        QCOMPARE(request.headers.value("content-type"),
                 QByteArray("multipart/form-data, boundary=f89awenrh8f8"));
        const QByteArray expected =
            "--f89awenrh8f8\r\n"
            "Content-disposition: form-data; name=\"xmlfile\"; filename=\"" +
            path.toUtf8() +
            "\"\r\n"
            "Content-Type: text/xml\r\n"
            "\r\n" +
            document.toUtf8() + "\r\n\r\n--f89awenrh8f8--";
        QCOMPARE(request.body, expected);
        QCOMPARE(request.fileName, path.toUtf8());
    }

    void answerBytesAreWindows1251() {
        test::ExchangeFixture f;
        RawServer raw("\xC0\xE0");
        f.ctx.settings.ServiceURL = raw.url();
        Transport transport(f.ctx.session());
        QCOMPARE(transport.InetExchange(f.writeRequest(RequestDocuments::getRel(f.ctx.settings))),
                 u"Аа"_s);
    }

    void failuresShowOneMessageAndReturnNothing() {
        test::ExchangeFixture f;
        f.ctx.settings.ServiceURL = u"http://127.0.0.1:"_s + QString::number(closedPort());
        Transport transport(f.ctx.session());
        const QString path = f.writeRequest(RequestDocuments::getRel(f.ctx.settings));
        QCOMPARE(transport.InetExchange(path), QString());
        QCOMPARE(transport.InetExchange(path), QString());
        QCOMPARE(f.prompts.messages.size(), 1);
        QCOMPARE(f.prompts.messages[0].title, u"Orvell client"_s);
        QCOMPARE(f.prompts.messages[0].text, kFailureText);
        QCOMPARE(f.prompts.messages[0].icon, UserPrompts::Icon::Critical);
        QVERIFY(f.ctx.ConnectionFailed);
    }

    void emptyAnswerCountsAsFailure() {
        test::ExchangeFixture f;
        RawServer raw("");
        f.ctx.settings.ServiceURL = raw.url();
        Transport transport(f.ctx.session());
        QCOMPARE(transport.InetExchange(f.writeRequest(RequestDocuments::getRel(f.ctx.settings))),
                 QString());
        QCOMPARE(f.prompts.messages.size(), 1);
    }

    void serverThatNeverAnswersTimesOut() {
        test::ExchangeFixture f;
        f.server.setFault(standin::Fault::Silent);
        f.ctx.exchangeTimeout = std::chrono::milliseconds(300);
        Transport transport(f.ctx.session());
        QCOMPARE(transport.InetExchange(f.writeRequest(RequestDocuments::getRel(f.ctx.settings))),
                 QString());
        QCOMPARE(f.prompts.messages.size(), 1);
        QVERIFY(f.prompts.messages[0].text.contains(u"Сервер не ответил за 1 с."_s));
    }

    void tricklingServiceEndsAtTheDeadline() {
        // A byte every 100 ms keeps any inactivity timer happy for ever; the
        // exchange ends at its deadline all the same (or this test hangs).
        test::ExchangeFixture f;
        f.server.setFault(standin::Fault::Trickle, -1, 100);
        f.ctx.exchangeTimeout = std::chrono::milliseconds(700);
        Transport transport(f.ctx.session());
        QCOMPARE(transport.InetExchange(f.writeRequest(RequestDocuments::getRel(f.ctx.settings))),
                 QString());
        QCOMPARE(f.prompts.messages.size(), 1);
    }

    void brokenAnswersAreReturnedAsTheyCame() {
        test::ExchangeFixture f;
        Transport transport(f.ctx.session());
        const QString path = f.writeRequest(RequestDocuments::getRel(f.ctx.settings));
        f.server.setFault(standin::Fault::Http500, 1);
        QVERIFY(transport.InetExchange(path).contains(u"Internal Server Error"_s));
        f.server.setFault(standin::Fault::ErrorPage, 1);
        QVERIFY(transport.InetExchange(path).contains(u"Выводим xml с ошибкой"_s));
        f.server.setFault(standin::Fault::Truncated, 1);
        const QString truncated = transport.InetExchange(path);
        QVERIFY(truncated.startsWith(u"<?xml"_s) && !truncated.contains(u"</results>"_s));
        QVERIFY(f.prompts.messages.isEmpty());

        // A dropped connection is a failure, and the request is not sent again:
        // the service may have acted on it.
        f.server.setFault(standin::Fault::Drop);
        const qsizetype sent = f.server.received().size();
        QCOMPARE(transport.InetExchange(path), QString());
        QCOMPARE(f.server.received().size(), sent + 1);
        QCOMPARE(f.prompts.messages.size(), 1);
        // The run's later exchanges fail at once, without a connection.
        QCOMPARE(transport.InetExchange(path), QString());
        QCOMPARE(f.server.received().size(), sent + 1);
    }

    void tooLongAnswerIsCutAndReadsAsBroken() {
        test::ExchangeFixture f;
        RawServer raw(QByteArray(Transport::MaxAnswerBytes + 4096, 'x'));
        f.ctx.settings.ServiceURL = raw.url();
        Transport transport(f.ctx.session());
        const QString answer =
            transport.InetExchange(f.writeRequest(RequestDocuments::getRel(f.ctx.settings)));
        QCOMPARE(answer.size(), Transport::MaxAnswerBytes + 1);
        QVERIFY(f.prompts.messages.isEmpty()); // an answer, if a broken one
    }

    void malformedDocumentIsNeverSent() {
        test::ExchangeFixture f;
        Transport transport(f.ctx.session());
        const QString path =
            f.writeRequest(u"<?xml version='1.0' encoding='utf-8'?>\r\n"
                           u"<QUERYS username='o'neil' password='x' mainid='1'>\r\n</QUERYS>"_s);
        QCOMPARE(transport.InetExchange(path), QString());
        QVERIFY(f.ctx.log.currentText().endsWith(
            u"  Входные данные не годятся для отправки на сервер Корденет"_s));
        QVERIFY(f.server.received().isEmpty());
        QVERIFY(f.prompts.messages.isEmpty());
        QVERIFY(!f.ctx.ConnectionFailed);
    }

    void missingRequestFileIsReported() {
        test::ExchangeFixture f;
        Transport transport(f.ctx.session());
        QCOMPARE(transport.InetExchange(f.dir.file(u"tmp/none.tmp"_s)), QString());
        QVERIFY(f.ctx.log.currentText().contains(u"  Mod_Inet.InetExchange: "_s));
        QVERIFY(f.server.received().isEmpty());
    }

    void proxyCredentialsOnlyWithUseProxy() {
        test::ExchangeFixture f;
        f.server.requireBasicAuth(u"proxyuser"_s, u"s3cret!"_s);
        f.ctx.settings.ProxyUname = u"proxyuser"_s;
        f.ctx.settings.ProxyPass = u"s3cret!"_s;
        Transport transport(f.ctx.session());
        const QString path = f.writeRequest(RequestDocuments::getRel(f.ctx.settings));

        f.ctx.settings.UseProxy = false;
        const QString refused = transport.InetExchange(path);
        QVERIFY(refused.contains(u"Authorization required"_s)); // the page is the answer
        for (const auto& request : f.server.received()) {
            QVERIFY(!request.headers.contains("authorization"));
        }

        f.ctx.settings.UseProxy = true;
        const QString accepted = transport.InetExchange(path);
        QVERIFY2(accepted.contains(u"<results>"_s), qPrintable(accepted));
        QCOMPARE(f.server.received().last().headers.value("authorization"),
                 "Basic " + u"proxyuser:s3cret!"_s.toUtf8().toBase64());
    }

    void httpsWorks() {
        test::ExchangeFixture f;
        const QString cert = f.dir.file(u"cert.pem"_s);
        const QString key = f.dir.file(u"key.pem"_s);
        QProcess openssl;
        openssl.start(u"openssl"_s,
                      {u"req"_s, u"-x509"_s, u"-newkey"_s, u"rsa:2048"_s, u"-nodes"_s, u"-days"_s,
                       u"1"_s, u"-subj"_s, u"/CN=127.0.0.1"_s, u"-addext"_s,
                       u"subjectAltName=IP:127.0.0.1"_s, u"-keyout"_s, key, u"-out"_s, cert});
        QVERIFY(openssl.waitForFinished(60000));
        QCOMPARE(openssl.exitCode(), 0);
        QFile certFile(cert);
        QFile keyFile(key);
        QVERIFY(certFile.open(QIODevice::ReadOnly) && keyFile.open(QIODevice::ReadOnly));
        const QSslCertificate certificate(certFile.readAll());
        const QSslKey privateKey(keyFile.readAll(), QSsl::Rsa);

        standin::StandinServer secure(f.data);
        QVERIFY(secure.listenTls(certificate, privateKey));
        const QSslConfiguration saved = QSslConfiguration::defaultConfiguration();
        QSslConfiguration trusting = saved;
        trusting.addCaCertificate(certificate);
        QSslConfiguration::setDefaultConfiguration(trusting);
        f.ctx.settings.ServiceURL = secure.url();

        Transport transport(f.ctx.session());
        const QString answer =
            transport.InetExchange(f.writeRequest(RequestDocuments::getRel(f.ctx.settings)));
        QSslConfiguration::setDefaultConfiguration(saved);
        QVERIFY2(answer.contains(u"<RESULT QID='get_rel' ERROR='0'>"_s), qPrintable(answer));
        QCOMPARE(secure.received().size(), 1);
        QVERIFY(f.prompts.messages.isEmpty());
    }

    void wrongPasswordGetsTheServiceError() {
        test::ExchangeFixture f;
        f.ctx.settings.Password = u"wrong"_s;
        Transport transport(f.ctx.session());
        QCOMPARE(transport.InetExchange(f.writeRequest(RequestDocuments::getRel(f.ctx.settings))),
                 u"<?xml version='1.0' encoding='windows-1251'?><results>"
                 u"<RESULT QID='get_rel' ERROR='3'></RESULT></results>"_s);
    }
};

QTEST_GUILESS_MAIN(TransportTest)
#include "tst_transport.moc"
