#pragma once

#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>
#include <optional>

class QAction;
class QMenu;

namespace orv {

struct AppContext;
class DesktopNotifier;
class MainForm;

// Owns the notification-area icon and its menu, and is the way to end the
// program: its unload has the main window close itself and its windows in a
// fixed order, and removes the icon.
class TrayForm : public QObject {
    Q_OBJECT

public:
    explicit TrayForm(AppContext& ctx, QObject* parent = nullptr);
    ~TrayForm() override;

    void attach(MainForm* mainForm);

    // Puts the icon into the notification area.
    void Form_Load();
    // The shutdown sequence; emits exited() at its end.
    void Form_Unload();

    static bool notificationAreaAvailable();
    // Tests stand in for a desktop with or without a notification area;
    // nullopt asks the desktop again.
    static void assumeNotificationArea(std::optional<bool> available);

    // What the icon's tip says while a run goes on, and back to the name.
    static inline const QString Receiving = QStringLiteral("получение…");
    static inline const QString Sending = QStringLiteral("отправка…");
    void showRunning(const QString& activity);
    void showIdle();
    QSystemTrayIcon* icon() const { return m_icon; }
    QMenu* mnutr_popup() const { return m_menu; }

    // One tick of the icon: while the tree holds new items it alternates
    // between the program's icon and the friends icon, otherwise it shows the
    // program's.
    void blink(bool newItems);
    bool showsFriendsIcon() const { return m_showsFriends; }
    // A desktop notification: from the desktop's notification service when
    // the session bus has one, else from the icon, else a status line. A
    // click emits notificationClicked().
    void notify(const QString& text);

    void mnutr_open_Click();
    void muntr_Get_Click();
    void mnutr_exit_Click();
    void iconActivated(QSystemTrayIcon::ActivationReason reason);

signals:
    void exited();
    void notificationClicked();

private:
    void toggleMainWindow();

    AppContext& m_ctx;
    QPointer<MainForm> m_main;
    QMenu* m_menu;
    QSystemTrayIcon* m_icon;
    DesktopNotifier* m_notifier;
    bool m_showsFriends = false;
};

} // namespace orv
