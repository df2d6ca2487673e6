#include "SingleInstance.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>

using namespace Qt::StringLiterals;

namespace orv {
namespace {

// A request longer than this is not one of ours.
constexpr qsizetype kLongestRequest = 64;

// Room for the socket's path in the system's address of a local socket.
constexpr qsizetype kLongestSocketPath = 100;

} // namespace

const QByteArray SingleInstance::ShowRequest = QByteArrayLiteral("show\n");
const QByteArray SingleInstance::ShowAnswer = QByteArrayLiteral("shown\n");

SingleInstance::SingleInstance(const QString& folder, QObject* parent)
    : QObject(parent)
    , m_name(serverName(folder)) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::serverName(const QString& folder) {
    const QFileInfo info(folder);
    const QString canonical = info.canonicalFilePath();
    const QString path = canonical.isEmpty() ? info.absoluteFilePath() : canonical;
    const QString name =
        u"orv-client-"_s +
        QString::fromLatin1(
            QCryptographicHash::hash(path.toUtf8(), QCryptographicHash::Sha1).toHex());
    // The runtime folder is the user's own; without one the socket goes to the
    // shared temporary folder with the permissions the umask gives.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isDir()) {
        const QString full = QDir::cleanPath(runtime) + u'/' + name;
        if (QFile::encodeName(full).size() <= kLongestSocketPath) {
            return full;
        }
    }
    return name;
}

std::optional<SingleInstance::Outcome> SingleInstance::outcomeOf(Asked asked) {
    switch (asked) {
    case Asked::Answered:
        return Outcome::AnotherAnswered;
    case Asked::Silent:
        // A program holds the name but does not answer: its name stays its own.
        return Outcome::Alone;
    case Asked::NobodyThere:
        break;
    }
    return std::nullopt;
}

SingleInstance::Outcome SingleInstance::start(std::chrono::milliseconds answerTime) {
    if (const auto outcome = outcomeOf(askToShow(answerTime))) {
        return *outcome;
    }
    if (listen()) {
        return Outcome::Listening;
    }
    // The name is taken. A program that started just now answers; a socket
    // whose program is gone does not accept, and is removed.
    if (const auto outcome = outcomeOf(askToShow(answerTime))) {
        return *outcome;
    }
    QLocalServer::removeServer(m_name);
    return listen() ? Outcome::Listening : Outcome::Alone;
}

SingleInstance::Asked SingleInstance::askToShow(std::chrono::milliseconds answerTime) {
    const QDeadlineTimer deadline(answerTime);
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(int(deadline.remainingTime()))) {
        return Asked::NobodyThere;
    }
    socket.write(ShowRequest);
    socket.flush();
    QByteArray answer;
    while (!answer.contains('\n') && answer.size() < kLongestRequest) {
        const qint64 left = deadline.remainingTime();
        if (left <= 0 || !socket.waitForReadyRead(int(left))) {
            break;
        }
        answer += socket.readAll();
    }
    return answer == ShowAnswer ? Asked::Answered : Asked::Silent;
}

bool SingleInstance::listen() {
    if (!m_server) {
        // No access options: with them Qt moves its socket over whatever file
        // holds the name, a live program's included. The runtime folder keeps
        // the socket to its user.
        m_server = new QLocalServer(this);
        connect(m_server, &QLocalServer::newConnection, this, [this] {
            while (QLocalSocket* socket = m_server->nextPendingConnection()) {
                serve(socket);
            }
        });
    }
    return m_server->listen(m_name);
}

void SingleInstance::serve(QLocalSocket* socket) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
        const QByteArray request = socket->peek(kLongestRequest + 1);
        if (request.size() > kLongestRequest) {
            socket->abort();
            return;
        }
        if (!request.contains('\n')) {
            return; // the rest of the line is on its way
        }
        socket->readAll();
        if (request == ShowRequest) {
            emit showRequested();
            socket->write(ShowAnswer);
            socket->flush();
        }
        socket->disconnectFromServer();
    });
}

} // namespace orv
