#include "TestData.h"
#include "app/StatusLog.h"
#include "composer/NowPlaying.h"

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <QVariantMap>
#include <QtTest>
#include <list>
#include <memory>
#include <optional>

using namespace Qt::StringLiterals;
using namespace orv;

namespace {

// The part of an MPRIS player that a title is read from.
class FakePlayer : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QVariantMap Metadata READ metadata)

public:
    FakePlayer(QVariantMap metadata, int answerDelayMs)
        : m_metadata(std::move(metadata))
        , m_delayMs(answerDelayMs) {}

    QVariantMap metadata() const {
        QThread::msleep(m_delayMs);
        return m_metadata;
    }

private:
    QVariantMap m_metadata;
    int m_delayMs;
};

// A player on the session bus, in a thread and a connection of its own, as a
// separate program would be: calls to it cross the bus daemon.
class PlayerOnBus {
public:
    PlayerOnBus(const QString& name, QVariantMap metadata, int answerDelayMs = 0)
        : m_serviceName(u"org.mpris.MediaPlayer2."_s + name)
        , m_connectionName(u"player-"_s + name)
        , m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, m_connectionName))
        , m_player(std::make_unique<FakePlayer>(std::move(metadata), answerDelayMs)) {
        QVERIFY2(m_bus.isConnected(), "no session bus: run under dbus-run-session");
        m_player->moveToThread(&m_thread);
        m_thread.start();
        QVERIFY(m_bus.registerObject(u"/org/mpris/MediaPlayer2"_s, m_player.get(),
                                     QDBusConnection::ExportAllProperties));
        QVERIFY(m_bus.registerService(m_serviceName));
    }

    ~PlayerOnBus() {
        m_bus.unregisterService(m_serviceName);
        m_bus.unregisterObject(u"/org/mpris/MediaPlayer2"_s);
        m_thread.quit();
        m_thread.wait();
        QDBusConnection::disconnectFromBus(m_connectionName);
    }

private:
    QString m_serviceName;
    QString m_connectionName;
    QDBusConnection m_bus;
    QThread m_thread;
    std::unique_ptr<FakePlayer> m_player;
};

QVariantMap track(const QVariant& artist, const QString& title) {
    QVariantMap metadata{{u"mpris:trackid"_s, u"/org/mpris/MediaPlayer2/Track/1"_s}};
    if (artist.isValid()) {
        metadata.insert(u"xesam:artist"_s, artist);
    }
    if (!title.isNull()) {
        metadata.insert(u"xesam:title"_s, title);
    }
    return metadata;
}

// A status log in a folder of its own.
struct Log {
    QTemporaryDir dir;
    StatusLog log{dir.filePath(u"log.txt"_s)};
};

} // namespace

class NowPlayingTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY2(QDBusConnection::sessionBus().isConnected(),
                 "no session bus: run under dbus-run-session");
    }

    void cleanedTitle_data() { test::addRows(u"composer/titles.tsv"_s, {"raw", "cleaned"}); }

    void cleanedTitle() {
        const auto [raw, cleaned] = test::cells({"raw", "cleaned"});
        QCOMPARE(NowPlaying::cleanedTitle(raw), cleaned);
    }

    // One player's track (or none, or only another service on the bus), and
    // the title it gives, cleaned as a window title was.
    void onePlayer_data() {
        test::addRows(u"composer/players.tsv"_s, {"player", "artist", "title", "shown"});
    }

    void onePlayer() {
        const auto [player, artist, title, shown] =
            test::cells({"player", "artist", "title", "shown"});
        Log l;
        QVERIFY(QDBusConnection::sessionBus().registerService(u"org.example.NotAPlayer"_s));
        std::optional<PlayerOnBus> onBus;
        if (player == u"yes"_s) {
            const QVariant artists =
                artist == u"none"_s ? QVariant()
                : artist.startsWith(u'[')
                    ? QVariant(artist.mid(1, artist.size() - 2).split(u", "_s, Qt::SkipEmptyParts))
                    : QVariant(artist);
            onBus.emplace(u"vlc"_s, track(artists, title.isEmpty() ? QString() : title));
        }
        QCOMPARE(NowPlaying::get_WinAMP(l.log), shown);
        QDBusConnection::sessionBus().unregisterService(u"org.example.NotAPlayer"_s);
        QCOMPARE(l.log.lines(), QStringList());
    }

    void firstPlayerWithATrackByName() {
        Log l;
        // Registered out of name order, as players start in any order.
        std::list<PlayerOnBus> players;
        for (const QString& name :
             {u"vlc"_s, u"spotify"_s, u"mpv"_s, u"audacious"_s, u"clementine"_s, u"rhythmbox"_s}) {
            players.emplace_back(name, track({}, name == u"audacious"_s ? QString() : name));
        }
        QCOMPARE(NowPlaying::get_WinAMP(l.log), u"clementine"_s);
        QCOMPARE(l.log.lines(), QStringList());
    }

    void hungPlayerIsLoggedAndQuick() {
        Log l;
        PlayerOnBus hung(u"hung"_s, track(QVariant(), u"Никогда"_s), 3000);
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(NowPlaying::get_WinAMP(l.log), QString());
        QVERIFY2(clock.elapsed() < 1500, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(l.log.lines().size(), 1);
        QVERIFY2(l.log.lines()[0].contains(
                     u"  Mod_WinAMP.get_WinAMP: плеер org.mpris.MediaPlayer2.hung не ответил: "_s),
                 qPrintable(l.log.lines()[0]));
        QCOMPARE(l.log.failureCount(), 1);
    }

    // Last: it takes the session bus away from this process's environment.
    void noBusGivesEmptySilently() {
        Log l;
        PlayerOnBus playing(u"vlc"_s, track(QVariant(), u"Не слышно"_s));
        QCOMPARE(NowPlaying::get_WinAMP(l.log), u"Не слышно"_s);
        QTemporaryDir runtime;
        const QByteArray address = qgetenv("DBUS_SESSION_BUS_ADDRESS");
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        QElapsedTimer clock;
        clock.start();
        const QString title = NowPlaying::get_WinAMP(l.log);
        const qint64 elapsed = clock.elapsed();
        qputenv("DBUS_SESSION_BUS_ADDRESS", address);
        QCOMPARE(title, QString());
        QVERIFY(elapsed < 200);
        QCOMPARE(l.log.lines(), QStringList());
    }
};

QTEST_GUILESS_MAIN(NowPlayingTest)
#include "tst_nowplaying.moc"
