#include "NowPlaying.h"

#include "app/ErrorTrap.h"
#include "app/OrvError.h"
#include "app/StatusLog.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVariant>
#include <QFileInfo>
#include <QStringList>
#include <QVariantMap>

using namespace Qt::StringLiterals;

namespace orv::NowPlaying {
namespace {

// Each bus call gives up after this long, so that a hung player never holds
// up the editor.
constexpr int kCallTimeoutMs = 250;

const QString kPlayerPrefix = u"org.mpris.MediaPlayer2."_s;
const QString kPlayerPath = u"/org/mpris/MediaPlayer2"_s;
const QString kPlayerInterface = u"org.mpris.MediaPlayer2.Player"_s;

bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// A session bus is there to be reached: its address is known, or the user
// session has its socket. Without either the bus library would try to start
// one of its own, which the editor must never do.
bool sessionBusConfigured() {
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
        return true;
    }
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(runtime + u"/bus"_s);
}

QDBusMessage call(const QDBusConnection& bus, const QDBusMessage& message) {
    return bus.call(message, QDBus::Block, kCallTimeoutMs);
}

// A player that left the bus between the listing and the question.
bool playerGone(const QDBusMessage& reply) {
    const QString error = reply.errorName();
    return error == u"org.freedesktop.DBus.Error.ServiceUnknown"_s ||
           error == u"org.freedesktop.DBus.Error.NameHasNoOwner"_s;
}

// The players' bus names in name order.
QStringList playerNames(const QDBusConnection& bus) {
    const QDBusMessage reply = call(
        bus, QDBusMessage::createMethodCall(u"org.freedesktop.DBus"_s, u"/org/freedesktop/DBus"_s,
                                            u"org.freedesktop.DBus"_s, u"ListNames"_s));
    if (reply.type() != QDBusMessage::ReplyMessage) {
        throw OrvError(u"шина сеанса не ответила: "_s + reply.errorMessage());
    }
    QStringList names;
    for (const QString& name : reply.arguments().value(0).toStringList()) {
        if (name.startsWith(kPlayerPrefix)) {
            names.append(name);
        }
    }
    names.sort();
    return names;
}

// The player's Metadata property; empty when the player has gone.
QVariantMap metadata(const QDBusConnection& bus, const QString& player) {
    QDBusMessage get = QDBusMessage::createMethodCall(
        player, kPlayerPath, u"org.freedesktop.DBus.Properties"_s, u"Get"_s);
    get << kPlayerInterface << u"Metadata"_s;
    const QDBusMessage reply = call(bus, get);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        if (playerGone(reply)) {
            return {};
        }
        throw OrvError(u"плеер "_s + player + u" не ответил: "_s + reply.errorMessage());
    }
    const QVariant value = reply.arguments().value(0).value<QDBusVariant>().variant();
    return qdbus_cast<QVariantMap>(value);
}

// xesam:artist is a list of names; some players send one name as a string.
QStringList names(const QVariant& value) {
    QStringList list =
        value.canConvert<QDBusArgument>() ? qdbus_cast<QStringList>(value) : value.toStringList();
    list.removeAll(QString());
    return list;
}

QString trackTitle(const QVariantMap& metadata) {
    const QString title = metadata.value(u"xesam:title"_s).toString();
    if (title.isEmpty()) {
        return {};
    }
    const QString artists = names(metadata.value(u"xesam:artist"_s)).join(u", "_s);
    return artists.isEmpty() ? title : artists + u" - "_s + title;
}

} // namespace

QString cleanedTitle(QString raw) {
    raw.remove(u" - Winamp"_s + QChar(u'\0'));
    qsizetype start = 0;
    while (start < raw.size() && (raw[start] == u'.' || isDigit(raw[start]))) {
        ++start;
    }
    return raw.mid(start).trimmed();
}

QString get_WinAMP(StatusLog& log) {
    if (!QCoreApplication::instance() || !sessionBusConfigured()) {
        return {};
    }
    QString title;
    runTrapped(log, u"Mod_WinAMP.get_WinAMP: "_s, [&] {
        const QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected()) {
            return;
        }
        for (const QString& player : playerNames(bus)) {
            title = trackTitle(metadata(bus, player));
            if (!title.isEmpty()) {
                return;
            }
        }
    });
    return cleanedTitle(title);
}

} // namespace orv::NowPlaying
