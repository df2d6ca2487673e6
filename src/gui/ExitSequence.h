#pragma once

#include <QObject>
#include <QStringList>
#include <functional>

class QAction;
class QWidget;

namespace orv {

class TrayForm;

// The end of the program as the main window takes part in it: "Выход"
// (Ctrl+Q) hands over to the tray's unload, which has the main window and
// the windows it owns closed here, in a fixed order.
class ExitSequence : public QObject {
    Q_OBJECT

public:
    // saveState keeps the window's state before the tray ends the program.
    ExitSequence(QWidget& window, TrayForm& tray, std::function<void()> saveState);

    // The windows closed at exit, in this order; "MainForm" is the main window.
    static const QStringList UnloadOrder;

    void mnu_Exit_Click();
    // From here on closing the main window closes it instead of hiding it.
    void beginExit();
    bool isExiting() const { return m_exiting; }
    // Begins the exit and closes the main window, shown or not, and the
    // windows it owns, in UnloadOrder. Of those, one already closed or hidden
    // by the user is left alone, and one that refuses (an editor kept open)
    // stays.
    void closeWindowsForExit();

    QAction* mnu_Exit = nullptr;

private:
    void closeOwnedWindows(const QString& name);

    QWidget& m_window;
    TrayForm& m_tray;
    std::function<void()> m_saveState;
    bool m_exiting = false;
};

} // namespace orv
