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

// Where the exchange goes: the stand-in (with a fault), fixed bytes, a closed port.
enum class Service { Standin, Raw, Closed };

const QString kGetRel = u"getRel"_s; // a document column value: RequestDocuments::getRel

} // namespace

class TransportTest : public QObject {
    Q_OBJECT

private slots:
    // One exchange and what it leaves: the answer, the failure message shown
    // (at most one a run), the requests the service got, the log's last line.
    // After a failure the run's next exchange fails at once, unsent.
    void exchange_data() {
        QTest::addColumn<Service>("service");
        QTest::addColumn<int>("fault"); // standin::Fault
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<QString>("document");
        QTest::addColumn<QString>("answer");  // a pattern the whole answer matches
        QTest::addColumn<QString>("message"); // in the failure message; "" when none
        QTest::addColumn<int>("sent");
        QTest::addColumn<QString>("log"); // the log's last line ends so; "" for any

        const int none = int(standin::Fault::None);
        QTest::newRow("answer as text")
            << Service::Standin << none << QByteArray() << kGetRel
            << u"<\\?xml version='1.0' encoding='windows-1251'\\?><results>.*<BUDDY>Ёжик</BUDDY>.*"_s
            << QString() << 1 << QString();
        QTest::newRow("service error for a wrong password")
            << Service::Standin << none << QByteArray()
            << u"<?xml version='1.0' encoding='utf-8'?>\r\n<QUERYS username='demo' password='x' "
               u"mainid='1'>\r\n<query QID='get_rel' TYPE='5'>\r\n<action>get</action>\r\n</query>\r\n</QUERYS>"_s
            << u"<\\?xml version='1.0' encoding='windows-1251'\\?><results><RESULT QID='get_rel' "
               u"ERROR='3'></RESULT></results>"_s
            << QString() << 1 << QString();
        QTest::newRow("answer bytes are Windows-1251")
            << Service::Raw << none << QByteArray("\xC0\xE0") << kGetRel << u"Аа"_s << QString()
            << 0 << QString();
        QTest::newRow("HTTP 500 page is an answer")
            << Service::Standin << int(standin::Fault::Http500) << QByteArray() << kGetRel
            << u".*Internal Server Error.*"_s << QString() << 1 << QString();
        QTest::newRow("error page is an answer")
            << Service::Standin << int(standin::Fault::ErrorPage) << QByteArray() << kGetRel
            << u".*Выводим xml с ошибкой.*"_s << QString() << 1 << QString();
        QTest::newRow("truncated answer as it came")
            << Service::Standin << int(standin::Fault::Truncated) << QByteArray() << kGetRel
            << u"<\\?xml(?!.*</results>).*"_s << QString() << 1 << QString();
        QTest::newRow("refused connection")
            << Service::Closed << none << QByteArray() << kGetRel << QString()
            << u"Запрос к серверу не выполнен.\r\n\r\nСервер отказал в соединении.\r\n"
               u"Проверьте подключение к интернету и адрес сервиса (ServiceURL) в настройках."_s
            << 0 << QString();
        QTest::newRow("empty answer")
            << Service::Raw << none << QByteArray() << kGetRel << QString()
            << u"Запрос к серверу не выполнен."_s << 0 << QString();
        QTest::newRow("no answer in time")
            << Service::Standin << int(standin::Fault::Silent) << QByteArray() << kGetRel
            << QString() << u"Сервер не ответил за 1 с."_s << 1 << QString();
        // A byte every 100 ms keeps any inactivity timer happy for ever; the
        // exchange ends at its deadline all the same (or this test hangs).
        QTest::newRow("trickle ends at the deadline")
            << Service::Standin << int(standin::Fault::Trickle) << QByteArray() << kGetRel
            << QString() << u"Запрос к серверу не выполнен."_s << 1 << QString();
        // The service may have acted on a dropped request: it is not sent again.
        QTest::newRow("dropped connection")
            << Service::Standin << int(standin::Fault::Drop) << QByteArray() << kGetRel << QString()
            << u"Запрос к серверу не выполнен."_s << 1 << QString();
        QTest::newRow("malformed document never sent")
            << Service::Standin << none << QByteArray()
            << u"<?xml version='1.0' encoding='utf-8'?>\r\n"
               u"<QUERYS username='o'neil' password='x' mainid='1'>\r\n</QUERYS>"_s
            << QString() << QString() << 0
            << u"  Входные данные не годятся для отправки на сервер Корденет"_s;
    }

    void exchange() {
        QFETCH(Service, service);
        QFETCH(int, fault);
        QFETCH(QByteArray, raw);
        QFETCH(QString, document);
        QFETCH(QString, answer);
        QFETCH(QString, message);
        QFETCH(int, sent);
        QFETCH(QString, log);

        test::ExchangeFixture f(20);
        RawServer rawServer(raw);
        if (service == Service::Raw) {
            f.ctx.settings.ServiceURL = rawServer.url();
        } else if (service == Service::Closed) {
            const quint16 port = rawServer.serverPort();
            rawServer.close();
            f.ctx.settings.ServiceURL = u"http://127.0.0.1:"_s + QString::number(port);
        }
        f.server.setFault(standin::Fault(fault), -1, 100);
        f.ctx.exchangeTimeout = std::chrono::milliseconds(700);
        Transport transport(f.ctx.session());
        const QString request =
            document == kGetRel ? RequestDocuments::getRel(f.ctx.settings) : document;

        const QString got = transport.exchange(request);
        QVERIFY2(QRegularExpression(QRegularExpression::anchoredPattern(answer),
                                    QRegularExpression::DotMatchesEverythingOption)
                     .match(got)
                     .hasMatch(),
                 qPrintable(got.left(300)));
        QCOMPARE(f.server.received().size(), sent);
        QCOMPARE(f.prompts.messages.size(), message.isEmpty() ? 0 : 1);
        QCOMPARE(f.ctx.ConnectionFailed.load(), !message.isEmpty());
        QCOMPARE(transport.failedThisRun(), !message.isEmpty());
        if (!message.isEmpty()) {
            QVERIFY2(f.prompts.messages[0].text.contains(message),
                     qPrintable(f.prompts.messages[0].text));
            QCOMPARE(f.prompts.messages[0].icon, UserPrompts::Icon::Critical);
            QCOMPARE(transport.exchange(request), QString());
            QCOMPARE(f.server.received().size(), sent);
            QCOMPARE(f.prompts.messages.size(), 1);
        }
        QVERIFY2(f.ctx.log.currentText().endsWith(log), qPrintable(f.ctx.log.currentText()));
    }

    void requestGoesOutAsWrittenInTheRequestFile() {
        test::ExchangeFixture f;
        Transport transport(f.ctx.session());
        const QString document = RequestDocuments::newPosts(f.ctx.settings);
        transport.exchange(document);

        const QString path = f.ctx.folder.PostFilePath();
        QCOMPARE(f.dir.read(u"tmp/post.tmp"_s), document.toUtf8() + "\r\n");
        QCOMPARE(f.server.received().size(), 1);
        const standin::ReceivedRequest& request = f.server.received().first();
        QCOMPARE(request.method, QByteArray("POST"));
        QCOMPARE(request.path, QByteArray("/offline_main.php"));
        QCOMPARE(request.headers.value("content-type"),
                 QByteArray("multipart/form-data, boundary=f89awenrh8f8"));
        QCOMPARE(request.body, "--f89awenrh8f8\r\nContent-disposition: form-data; "
                               "name=\"xmlfile\"; filename=\"" +
                                   path.toUtf8() + "\"\r\nContent-Type: text/xml\r\n\r\n" +
                                   document.toUtf8() + "\r\n\r\n--f89awenrh8f8--");
    }

    void requestFileThatCannotBeWrittenIsReported() {
        test::ExchangeFixture f;
        QVERIFY(QDir().mkpath(f.ctx.folder.PostFilePath())); // a folder in the file's place
        Transport transport(f.ctx.session());
        QCOMPARE(transport.exchange(RequestDocuments::getRel(f.ctx.settings)), QString());
        QVERIFY(f.ctx.log.currentText().contains(u"  Mod_Inet.InetExchange: "_s));
        QVERIFY(f.server.received().isEmpty());
    }

    void tooLongAnswerIsCutAndReadsAsBroken() {
        test::ExchangeFixture f;
        RawServer raw(QByteArray(Transport::MaxAnswerBytes + 4096, 'x'));
        f.ctx.settings.ServiceURL = raw.url();
        Transport transport(f.ctx.session());
        const QString answer = transport.exchange(RequestDocuments::getRel(f.ctx.settings));
        QCOMPARE(answer.size(), Transport::MaxAnswerBytes + 1);
        QVERIFY(f.prompts.messages.isEmpty()); // an answer, if a broken one
    }

    void proxyCredentialsOnlyWithUseProxy() {
        test::ExchangeFixture f;
        f.server.requireBasicAuth(u"proxyuser"_s, u"s3cret!"_s);
        f.ctx.settings.ProxyUname = u"proxyuser"_s;
        f.ctx.settings.ProxyPass = u"s3cret!"_s;
        Transport transport(f.ctx.session());
        const QString document = RequestDocuments::getRel(f.ctx.settings);

        f.ctx.settings.UseProxy = false;
        QVERIFY(transport.exchange(document).contains(u"Authorization required"_s));
        QVERIFY(!f.server.received().last().headers.contains("authorization"));

        f.ctx.settings.UseProxy = true;
        const QString accepted = transport.exchange(document);
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
        const QSslCertificate certificate(f.dir.read(u"cert.pem"_s));
        const QSslKey privateKey(f.dir.read(u"key.pem"_s), QSsl::Rsa);

        standin::StandinServer secure(f.data);
        QVERIFY(secure.listenTls(certificate, privateKey));
        const QSslConfiguration saved = QSslConfiguration::defaultConfiguration();
        QSslConfiguration trusting = saved;
        trusting.addCaCertificate(certificate);
        QSslConfiguration::setDefaultConfiguration(trusting);
        f.ctx.settings.ServiceURL = secure.url();

        Transport transport(f.ctx.session());
        const QString answer = transport.exchange(RequestDocuments::getRel(f.ctx.settings));
        QSslConfiguration::setDefaultConfiguration(saved);
        QVERIFY2(answer.contains(u"<RESULT QID='get_rel' ERROR='0'>"_s), qPrintable(answer));
        QCOMPARE(secure.received().size(), 1);
        QVERIFY(f.prompts.messages.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TransportTest)
#include "tst_transport.moc"
