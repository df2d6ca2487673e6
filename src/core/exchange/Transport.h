#pragma once

#include "app/Session.h"

#include <QByteArray>
#include <QString>
#include <memory>

class QNetworkAccessManager;

namespace orv {

struct Settings;

// Carries a request document to the service's offline endpoint as a multipart
// upload and returns the answer, decoded from Windows-1251. One Transport
// serves one run: after a connection failure the run's later exchanges fail
// at once, so a run without a connection ends in seconds, its items left
// waiting for the next one.
class Transport {
public:
    static inline const QString Boundary = QStringLiteral("f89awenrh8f8");

    explicit Transport(const Session& session);
    ~Transport();
    Transport(const Transport&) = delete;
    Transport& operator=(const Transport&) = delete;

    // Posts the document. Returns the answer, or "" when nothing came back;
    // the first failure of the program's run is shown to the user, and the
    // request that failed is left in the request file (PostFilePath) as a
    // trace. A document that is not well-formed is refused without a
    // connection, and left there too.
    QString exchange(const QString& document);

    // A connection failed in this run: later exchanges return "" at once.
    bool failedThisRun() const { return m_failedThisRun; }

    // Whether the request of the last exchange may have reached the service:
    // NotSent when it surely did not (refused before sending, the run's
    // connection already lost, the server refused the connection or was not
    // found), Answered when an answer came, whatever it holds, Unknown when
    // the connection broke or timed out after the request may have arrived.
    enum class Delivery { NotSent, Unknown, Answered };
    Delivery lastDelivery() const { return m_lastDelivery; }

    // The service refused the run (a wrong password, say): its later
    // exchanges are not made, and return "" at once.
    void stopRun() { m_stopped = true; }
    bool stopped() const { return m_stopped; }

    // Every request goes out at most once and ends at the session's deadline
    // whatever the service does meanwhile. The run's requests share one
    // kept-alive connection.
    static QString endpoint(const Settings& settings);
    static QByteArray multipartBody(const QString& requestPath, const QString& requestText);

    // A network error (QNetworkReply::NetworkError) in the user's words.
    static QString networkErrorText(int code);

    // Proxies named by the desktop serve the requests of runs with UseProxy;
    // called once at start.
    static void useSystemProxySettings();

    // An answer longer than this is cut there; it then reads as broken.
    static constexpr qsizetype MaxAnswerBytes = 64 * 1024 * 1024;

private:
    struct Reply;

    QString send(const QString& requestPath, const QString& text);
    void keepRequest(const QString& document);
    Reply post(const QByteArray& body);
    QNetworkAccessManager& network();
    void warnOfPlainHttp();
    void reportFailure(const QString& reason);

    const Session m_ctx; // a copy: it only holds references
    bool m_failedThisRun = false;
    bool m_stopped = false;
    bool m_warnedOfPlainHttp = false;
    Delivery m_lastDelivery = Delivery::NotSent;
    std::unique_ptr<QNetworkAccessManager> m_network; // made by the run's first exchange
};

} // namespace orv
