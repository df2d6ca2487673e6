#pragma once

#include "app/Session.h"

#include <QByteArray>
#include <QString>
#include <memory>

class QNetworkAccessManager;

namespace orv {

struct Settings;

// Carries a request document to the service's offline endpoint as a multipart
// upload and returns the answer, decoded from Windows-1251.
class Transport {
public:
    static inline const QString Boundary = QStringLiteral("f89awenrh8f8");

    explicit Transport(const Session& session);
    ~Transport();
    Transport(const Transport&) = delete;
    Transport& operator=(const Transport&) = delete;

    // Posts the document stored in the file and returns the answer, or "" when
    // nothing came back (the first failure of a run is shown to the user). A
    // document that is not well-formed is refused without a connection.
    QString InetExchange(const QString& requestPath);

    static QString endpoint(const Settings& settings);
    static QByteArray multipartBody(const QString& requestPath, const QString& requestText);

private:
    QByteArray post(const QByteArray& body);
    void reportFailure();

    const Session m_ctx; // a copy: it only holds references
    std::unique_ptr<QNetworkAccessManager> m_network;
};

} // namespace orv
