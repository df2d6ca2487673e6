#pragma once

#include <QObject>
#include <functional>

class QAction;
class QWidget;

namespace orv {

struct AppContext;

// "Сохранить копию базы…" and "Восстановить из копии…": a consistent copy of
// the store written while the program runs, and the store put back from one,
// with no exchange running and the one replaced kept beside it.
class StoreCopyCommands : public QObject {
    Q_OBJECT

public:
    StoreCopyCommands(AppContext& ctx, QWidget* window);

    // Asks for a file: to write (with the name suggested) or to read. Empty
    // when the user cancelled. A file dialog unless replaced.
    std::function<QString(bool forWriting, const QString& suggested)> pickFile;
    // Whether the tree is being built from the store, on a connection of its own.
    std::function<bool()> storeBusy;

    void mnu_Backup_Click();
    void mnu_Restore_Click();

    QAction* mnu_Backup;
    QAction* mnu_Restore;

signals:
    // The store was replaced: everything shown from it is to be read again.
    void restored();

private:
    AppContext& m_ctx;
    QWidget* m_window;
};

} // namespace orv
