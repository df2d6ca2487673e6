#pragma once

#include "StandinService.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>

class QSslCertificate;
class QSslKey;
class QTcpServer;
class QTcpSocket;

namespace standin {

// What one HTTP request carried.
struct ReceivedRequest {
    QByteArray method;
    QByteArray path;
    QHash<QByteArray, QByteArray> headers; // names in lower case
    QByteArray body;
    QByteArray fileName; // of the multipart field "xmlfile"
    QByteArray xmlFile;  // its content
};

// Faults the stand-in can play for the next requests. The service acts on a
// request before any fault plays, so each of them but Delay and Warning loses
// the answer of a request that was carried out ("lose" names Drop).
enum class Fault {
    None,
    Delay,     // answer after the delay
    Silent,    // never answer
    Drop,      // close the connection without an answer
    Http500,   // status 500 with an HTML page
    Garbage,   // bytes that are no XML
    Truncated, // the answer cut in the middle
    Warning,   // a PHP warning line before the declaration
    ErrorPage, // the service's page "Выводим xml с ошибкой"
    Trickle,   // the status and headers, then one byte of the answer per delay, never ending
};

// An HTTP server on 127.0.0.1 that answers POST /offline_main.php like the
// Kordenet service, in Windows-1251, and keeps every request it received.
// GET serves pictures (see StandinPictures).
// POST /control with "fault=NAME[&count=N][&delay=MS][&skip=N]" switches faults;
// "reject=QID&code=N" makes the query with that QID fail with the code;
// "flood=off" stores repeated messages instead of refusing them (63);
// "add-smiley=CODE&url=URL" and "add-comment=POSTID&text=TEXT" add data.
class StandinServer : public QObject {
    Q_OBJECT

public:
    explicit StandinServer(StandinData& data, QObject* parent = nullptr);
    ~StandinServer() override;

    bool listen(quint16 port = 0);
    // Serves HTTPS with the certificate instead.
    bool listenTls(const QSslCertificate& certificate, const QSslKey& key, quint16 port = 0);
    quint16 port() const;
    QString url() const;

    // count < 0: every request from now on; the first `skip` requests are
    // answered normally.
    void setFault(Fault fault, int count = -1, int delayMs = 0, int skip = 0);
    // Requests without these Basic credentials get 401 and a page.
    void requireBasicAuth(const QString& user, const QString& password);

    static bool faultFromName(const QString& name, Fault& fault);

    const QList<ReceivedRequest>& received() const { return m_received; }
    StandinService& service() { return m_service; }

signals:
    void requestReceived(int index);

private:
    // Gives the seeded pictures the address the server listens on.
    bool listening(bool listens);
    void onConnection();
    void onReadable(QTcpSocket* socket);
    void handle(QTcpSocket* socket, ReceivedRequest request);
    void handleControl(QTcpSocket* socket, const ReceivedRequest& request);
    QByteArray answerFor(const ReceivedRequest& request, int& status);
    Fault takeFault();

    StandinData& m_data;
    StandinService m_service;
    QTcpServer* m_server = nullptr;
    bool m_tls = false;
    QHash<QTcpSocket*, QByteArray> m_buffers;
    QList<ReceivedRequest> m_received;
    Fault m_fault = Fault::None;
    int m_faultCount = 0;
    int m_delayMs = 0;
    int m_faultSkip = 0;
    QByteArray m_requiredAuth;
};

} // namespace standin
