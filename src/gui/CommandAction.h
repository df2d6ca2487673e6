#pragma once

#include <QAction>
#include <QKeySequence>
#include <QString>

namespace orv {

// A command of a window part: named for the tests and the menus that show it,
// owned by the part that runs it. The main window places it in its menus.
inline QAction* newCommand(QObject* owner, const QString& name, const QString& caption,
                           const QKeySequence& shortcut = {}) {
    auto* action = new QAction(caption, owner);
    action->setObjectName(name);
    action->setShortcut(shortcut);
    return action;
}

} // namespace orv
