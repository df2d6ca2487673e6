#pragma once

#include <QObject>
#include <chrono>
#include <optional>

class QLocalServer;
class QLocalSocket;

namespace orv {

// One window program per working folder. The first start listens on a local
// socket named after the folder; a later start on the same folder asks it to
// show its window and ends. A socket left behind by a program that is gone is
// taken over, and a program that does not answer is left alone: the new start
// then runs on its own.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    enum class Outcome {
        Listening,       // the first program on the folder: later starts reach this one
        AnotherAnswered, // a program runs on the folder and shows its window: end this one
        Alone,           // nobody can be reached and nobody can reach this one
    };

    explicit SingleInstance(const QString& folder, QObject* parent = nullptr);
    ~SingleInstance() override;

    // The socket's name for a folder: short and safe whatever the path holds,
    // in the user's runtime folder where there is one.
    static QString serverName(const QString& folder);

    // Asks a program already running on the folder to show its window, or
    // starts listening when there is none. Blocks for at most about the
    // answer time; call it before the event loop runs.
    Outcome start(std::chrono::milliseconds answerTime = std::chrono::seconds(2));

    const QString& name() const { return m_name; }

    // The request and its answer, one line each.
    static const QByteArray ShowRequest;
    static const QByteArray ShowAnswer;

signals:
    // A later start asked for the window; it gets its answer once the
    // receivers have returned.
    void showRequested();

private:
    enum class Asked { Answered, Silent, NobodyThere };
    // How a start ends once someone holds the name; nothing when nobody does.
    static std::optional<Outcome> outcomeOf(Asked asked);

    Asked askToShow(std::chrono::milliseconds answerTime);
    bool listen();
    void serve(QLocalSocket* socket);

    QString m_name;
    QLocalServer* m_server = nullptr;
};

} // namespace orv
