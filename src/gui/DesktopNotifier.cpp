#include "DesktopNotifier.h"

#include "app/Constants.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>

using namespace Qt::StringLiterals;

namespace orv {
namespace {

const QString kService = u"org.freedesktop.Notifications"_s;
const QString kPath = u"/org/freedesktop/Notifications"_s;
// The installed icon's name in the desktop's icon theme, and its menu entry.
const QString kIconName = u"orv-client"_s;
const QString kDesktopEntry = u"orv"_s;

} // namespace

DesktopNotifier::DesktopNotifier(QObject* parent)
    : QObject(parent) {}

bool DesktopNotifier::show(const QString& summary, const QString& body) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        return false;
    }
    if (!m_listening) {
        m_listening = bus.connect(kService, kPath, kService, u"ActionInvoked"_s, this,
                                  SLOT(onActionInvoked(uint, QString)));
    }
    QDBusInterface service(kService, kPath, kService, bus);
    service.setTimeout(1000);
    const QDBusReply<uint> reply =
        service.call(u"Notify"_s, ProductName, m_shown, kIconName, summary, body,
                     QStringList{u"default"_s, u"Открыть"_s},
                     QVariantMap{{u"desktop-entry"_s, kDesktopEntry}}, -1);
    if (!reply.isValid()) {
        return false;
    }
    m_shown = reply.value();
    return true;
}

void DesktopNotifier::onActionInvoked(uint id, const QString& action) {
    if (id == m_shown && action == u"default"_s) {
        emit clicked();
    }
}

} // namespace orv
