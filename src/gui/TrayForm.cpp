#include "TrayForm.h"

#include "AppContext.h"
#include "AppIcon.h"
#include "DesktopNotifier.h"
#include "ExchangeController.h"
#include "ExitSequence.h"
#include "MainForm.h"
#include "app/Constants.h"
#include "app/ErrorTrap.h"

#include <QMenu>

using namespace Qt::StringLiterals;

namespace orv {

TrayForm::TrayForm(AppContext& ctx, QObject* parent)
    : QObject(parent)
    , m_ctx(ctx)
    , m_menu(new QMenu(u"Popup"_s))
    , m_icon(new QSystemTrayIcon(this))
    , m_notifier(new DesktopNotifier(this)) {
    setObjectName(u"TrayForm"_s);
    m_menu->setObjectName(u"mnutr_popup"_s);
    m_menu->addAction(u"Показать главное окно"_s, this, &TrayForm::mnutr_open_Click)
        ->setObjectName(u"mnutr_open"_s);
    m_menu->addSeparator()->setObjectName(u"mnutr_sep2"_s);
    m_menu->addAction(u"Получить"_s, this, &TrayForm::muntr_Get_Click)
        ->setObjectName(u"muntr_Get"_s);
    m_menu->addSeparator()->setObjectName(u"mnutr_sep1"_s);
    m_menu->addAction(u"Выход"_s, this, &TrayForm::mnutr_exit_Click)
        ->setObjectName(u"mnutr_exit"_s);

    m_icon->setIcon(AppIcon::program());
    m_icon->setToolTip(ProductName);
    m_icon->setContextMenu(m_menu);
    connect(m_icon, &QSystemTrayIcon::activated, this, &TrayForm::iconActivated);
    connect(m_icon, &QSystemTrayIcon::messageClicked, this, &TrayForm::notificationClicked);
    connect(m_notifier, &DesktopNotifier::clicked, this, &TrayForm::notificationClicked);
}

TrayForm::~TrayForm() {
    delete m_menu;
}

void TrayForm::attach(MainForm* mainForm) {
    m_main = mainForm;
}

namespace {
std::optional<bool> assumedNotificationArea;
} // namespace

bool TrayForm::notificationAreaAvailable() {
    return assumedNotificationArea.value_or(QSystemTrayIcon::isSystemTrayAvailable());
}

void TrayForm::assumeNotificationArea(std::optional<bool> available) {
    assumedNotificationArea = available;
}

void TrayForm::showRunning(const QString& activity) {
    m_icon->setToolTip(ProductName + u" — "_s + activity);
}

void TrayForm::showIdle() {
    m_icon->setToolTip(ProductName);
}

void TrayForm::Form_Load() {
    if (notificationAreaAvailable()) {
        m_icon->show();
    }
}

void TrayForm::Form_Unload() {
    if (m_main) {
        m_main->exitSequence().closeWindowsForExit();
    }
    m_icon->hide();
    emit exited();
}

void TrayForm::iconActivated(QSystemTrayIcon::ActivationReason reason) {
    runTrapped(m_ctx.log, u"TrayForm.MouseDown: "_s, [&] {
        if (!m_main) {
            return;
        }
        switch (reason) {
        case QSystemTrayIcon::Trigger: // left button released
            if (m_main->isVisible()) {
                m_main->raise();
                m_main->activateWindow();
            }
            break;
        case QSystemTrayIcon::DoubleClick:
            toggleMainWindow();
            break;
        default: // the context menu opens by itself
            break;
        }
    });
}

void TrayForm::toggleMainWindow() {
    if (m_main->isVisible()) {
        m_main->hide();
    } else {
        m_main->show();
    }
}

void TrayForm::blink(bool newItems) {
    if (!newItems && !m_showsFriends) {
        return;
    }
    m_showsFriends = newItems && !m_showsFriends;
    m_icon->setIcon(m_showsFriends ? AppIcon::friends() : AppIcon::program());
}

void TrayForm::notify(const QString& text) {
    // The desktop's own service looks and behaves like the desktop's other
    // notifications; the balloon is drawn by Qt.
    if (m_notifier->show(ProductName, text)) {
        return;
    }
    if (m_icon->isVisible() && QSystemTrayIcon::supportsMessages()) {
        m_icon->showMessage(ProductName, text, QSystemTrayIcon::Information);
        return;
    }
    m_ctx.log.LogStatus(text); // at least the status list keeps it
}

void TrayForm::mnutr_open_Click() {
    if (m_main) {
        m_main->show();
    }
}

void TrayForm::muntr_Get_Click() {
    if (m_main) {
        m_main->exchanges().mnu_Get_Click();
        m_main->hide();
    }
}

void TrayForm::mnutr_exit_Click() {
    Form_Unload();
}

} // namespace orv
