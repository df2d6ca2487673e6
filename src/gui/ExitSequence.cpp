#include "ExitSequence.h"

#include "CommandAction.h"
#include "TrayForm.h"

#include <QPointer>
#include <QWidget>

using namespace Qt::StringLiterals;

namespace orv {

const QStringList ExitSequence::UnloadOrder = {
    u"AddForm"_s,      u"CommForm"_s,  u"Dialog"_s,     u"MainForm"_s,   u"RelForm"_s,
    u"SettingsForm"_s, u"SmileForm"_s, u"SetUpdForm"_s, u"SetMesForm"_s,
};

ExitSequence::ExitSequence(QWidget& window, TrayForm& tray, std::function<void()> saveState)
    : QObject(&window)
    , m_window(window)
    , m_tray(tray)
    , m_saveState(std::move(saveState)) {
    setObjectName(u"ExitSequence"_s);
    mnu_Exit = newCommand(this, u"mnu_Exit"_s, u"Выход"_s, QKeySequence::Quit);
    connect(mnu_Exit, &QAction::triggered, this, &ExitSequence::mnu_Exit_Click);
}

void ExitSequence::mnu_Exit_Click() {
    m_saveState();
    QMetaObject::invokeMethod(&m_tray, &TrayForm::Form_Unload, Qt::QueuedConnection);
}

void ExitSequence::beginExit() {
    m_exiting = true;
}

void ExitSequence::closeWindowsForExit() {
    beginExit();
    for (const QString& name : UnloadOrder) {
        if (name == u"MainForm"_s) {
            m_window.close(); // also when it sits in the notification area: it saves its state
        } else {
            closeOwnedWindows(name);
        }
    }
}

void ExitSequence::closeOwnedWindows(const QString& name) {
    // The windows opened from the main window (and the editor's own) are its
    // children. Closing one may delete it or run a question's loop, so each
    // is checked again just before it is closed.
    QList<QPointer<QWidget>> windows;
    for (QWidget* child : m_window.findChildren<QWidget*>(name)) {
        if (child->isWindow()) {
            windows.append(child);
        }
    }
    for (const QPointer<QWidget>& window : windows) {
        if (window && window->isVisible()) {
            window->close();
        }
    }
}

} // namespace orv
