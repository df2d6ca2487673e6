#include "ExchangeFixture.h"
#include "TestData.h"
#include "app/Cp1251.h"
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

} // namespace

class TransportTest : public QObject {
    Q_OBJECT

private slots:
    // After a failure the run's next exchange fails at once, unsent and unshown.
    void exchange_data() {
        test::addRows(u"transport/exchanges.tsv"_s,
                      {"service", "fault", "raw", "document", "answer", "message", "sent", "log",
                       "proxy", "authorization"});
    }

    void exchange() {
        const auto [service, fault, raw, document, answer, message, sent, log, proxy,
                    authorization] =
            test::cells({"service", "fault", "raw", "document", "answer", "message", "sent", "log",
                         "proxy", "authorization"});
        test::ExchangeFixture f(20);
        standin::StandinServer secure(f.data);
        const QSslConfiguration saved = QSslConfiguration::defaultConfiguration();
        if (service == u"https"_s) {
            QProcess openssl;
            openssl.start(u"openssl"_s,
                          {u"req"_s, u"-x509"_s, u"-newkey"_s, u"rsa:2048"_s, u"-nodes"_s,
                           u"-days"_s, u"1"_s, u"-subj"_s, u"/CN=127.0.0.1"_s, u"-addext"_s,
                           u"subjectAltName=IP:127.0.0.1"_s, u"-keyout"_s, f.dir.file(u"key.pem"_s),
                           u"-out"_s, f.dir.file(u"cert.pem"_s)});
            QVERIFY(openssl.waitForFinished(60000) && openssl.exitCode() == 0);
            const QSslCertificate certificate(f.dir.read(u"cert.pem"_s));
            QVERIFY(secure.listenTls(certificate, QSslKey(f.dir.read(u"key.pem"_s), QSsl::Rsa)));
            QSslConfiguration trusting = saved;
            trusting.addCaCertificate(certificate);
            QSslConfiguration::setDefaultConfiguration(trusting);
            f.ctx.settings.ServiceURL = secure.url();
        } else if (service == u"unwritable"_s) {
            QVERIFY(QDir().mkpath(f.ctx.folder.PostFilePath())); // a folder in the file's place
        } else if (!proxy.isEmpty()) {
            f.server.requireBasicAuth(u"proxyuser"_s, u"s3cret!"_s);
            f.ctx.settings.ProxyUname = u"proxyuser"_s;
            f.ctx.settings.ProxyPass = u"s3cret!"_s;
            f.ctx.settings.UseProxy = proxy == u"on"_s;
        }
        RawServer rawServer(raw.toLatin1());
        const bool closed = service == u"closed"_s || service == u"unwritable"_s;
        if (service == u"raw"_s || closed) {
            f.ctx.settings.ServiceURL = rawServer.url();
        }
        if (closed) {
            rawServer.close();
        }
        standin::Fault planted{};
        QVERIFY(standin::StandinServer::faultFromName(fault, planted));
        f.server.setFault(planted, -1, 100);
        f.ctx.exchangeTimeout = std::chrono::milliseconds(700);
        Transport transport(f.ctx.session());
        const QString request = document.isEmpty() ? RequestDocuments::getRel(f.ctx.settings)
                                                   : test::dataText(document);

        const QString got = transport.exchange(request);
        QSslConfiguration::setDefaultConfiguration(saved);
        const auto& received = service == u"https"_s ? secure.received() : f.server.received();
        QVERIFY2(QRegularExpression(QRegularExpression::anchoredPattern(answer),
                                    QRegularExpression::DotMatchesEverythingOption)
                     .match(got)
                     .hasMatch(),
                 qPrintable(got.left(300)));
        QCOMPARE(received.size(), sent.toInt());
        if (!received.isEmpty()) {
            QCOMPARE(received.last().headers.value("authorization"), authorization.toLatin1());
        }
        QCOMPARE(f.prompts.messages.size(), message.isEmpty() ? 0 : 1);
        QCOMPARE(f.ctx.ConnectionFailed.load(), !message.isEmpty());
        if (!message.isEmpty()) {
            QVERIFY2(f.prompts.messages[0].text.contains(message),
                     qPrintable(f.prompts.messages[0].text));
            QCOMPARE(f.prompts.messages[0].icon, UserPrompts::Icon::Critical);
            QCOMPARE(transport.exchange(request), QString());
            QCOMPARE(f.server.received().size(), sent.toInt());
            QCOMPARE(f.prompts.messages.size(), 1);
        }
        QVERIFY2(f.ctx.log.currentText().contains(log), qPrintable(f.ctx.log.currentText()));
        // Only a request that failed is left in the request file.
        const QString trace = f.ctx.folder.PostFilePath();
        if (got.isEmpty() && service != u"unwritable"_s) {
            QCOMPARE(f.dir.read(u"tmp/post.tmp"_s), Cp1251::encode(request) + "\r\n");
        } else {
            QVERIFY(!QFileInfo(trace).isFile());
        }
    }

    void requestGoesOutAsTheServiceReadsIt() {
        test::ExchangeFixture f;
        Transport transport(f.ctx.session());
        const QString document = RequestDocuments::newPosts(f.ctx.settings);
        transport.exchange(document);

        const QString path = f.ctx.folder.PostFilePath();
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

    void tooLongAnswerIsCutAndReadsAsBroken() {
        test::ExchangeFixture f;
        RawServer raw(QByteArray(Transport::MaxAnswerBytes + 4096, 'x'));
        f.ctx.settings.ServiceURL = raw.url();
        Transport transport(f.ctx.session());
        const QString answer = transport.exchange(RequestDocuments::getRel(f.ctx.settings));
        QCOMPARE(answer.size(), Transport::MaxAnswerBytes + 1);
        QVERIFY(f.prompts.messages.isEmpty()); // an answer, if a broken one
    }
};

QTEST_GUILESS_MAIN(TransportTest)
#include "tst_transport.moc"
