#pragma once

#include <QObject>
#include <QString>

namespace orv {

// A notification through the desktop's notification service on the session
// bus (org.freedesktop.Notifications), with the program's icon and an action
// that opens the window. Its default action is reported as clicked().
class DesktopNotifier : public QObject {
    Q_OBJECT

public:
    explicit DesktopNotifier(QObject* parent = nullptr);

    // False when there is no bus or no service to show it.
    bool show(const QString& summary, const QString& body);

signals:
    void clicked();

private slots:
    void onActionInvoked(uint id, const QString& action);

private:
    uint m_shown = 0; // the service's number of the last notification
    bool m_listening = false;
};

} // namespace orv
