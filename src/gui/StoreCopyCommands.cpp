#include "StoreCopyCommands.h"

#include "AppContext.h"
#include "app/Constants.h"
#include "app/ErrorTrap.h"
#include "app/ExchangeLock.h"
#include "app/UserPrompts.h"
#include "store/SettingsStore.h"
#include "store/StoreCopy.h"

#include <QAction>
#include <QDate>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace orv {
namespace {

const QString kFilter = u"База программы (*.mdb);;Все файлы (*)"_s;

QString askForFile(QWidget* window, bool forWriting, const QString& suggested) {
    if (!forWriting) {
        return QFileDialog::getOpenFileName(window, u"Восстановить из копии"_s, QDir::homePath(),
                                            kFilter);
    }
    QFileDialog dialog(window, u"Сохранить копию базы"_s, QFileInfo(suggested).path(), kFilter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(u"mdb"_s);
    dialog.selectFile(QFileInfo(suggested).fileName()); // the name is there to take
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}

} // namespace

StoreCopyCommands::StoreCopyCommands(AppContext& ctx, QWidget* window)
    : QObject(window)
    , m_ctx(ctx)
    , m_window(window) {
    pickFile = [this](bool forWriting, const QString& suggested) {
        return askForFile(m_window, forWriting, suggested);
    };
    storeBusy = [] { return false; };
    mnu_Backup = new QAction(u"Сохранить копию базы…"_s, this);
    mnu_Backup->setObjectName(u"mnu_Backup"_s);
    mnu_Restore = new QAction(u"Восстановить из копии…"_s, this);
    mnu_Restore->setObjectName(u"mnu_Restore"_s);
    connect(mnu_Backup, &QAction::triggered, this, &StoreCopyCommands::mnu_Backup_Click);
    connect(mnu_Restore, &QAction::triggered, this, &StoreCopyCommands::mnu_Restore_Click);
}

void StoreCopyCommands::mnu_Backup_Click() {
    const QString suggested = QDir::home().filePath(
        u"orv-backup-"_s + QDate::currentDate().toString(u"yyyy-MM-dd"_s) + u".mdb"_s);
    const QString file = pickFile(true, suggested);
    if (file.isEmpty()) {
        return;
    }
    runTrapped(m_ctx.log, u"MainForm.Backup: "_s, [&] {
        StoreCopy::backup(m_ctx.db, file);
        m_ctx.log.LogStatus(u"Копия базы сохранена: "_s + file);
    });
}

void StoreCopyCommands::mnu_Restore_Click() {
    const QString file = pickFile(false, {});
    if (file.isEmpty()) {
        return;
    }
    if (const QString problem = StoreCopy::restoreProblem(file); !problem.isEmpty()) {
        m_ctx.prompts.inform(VersionTag, problem, UserPrompts::Icon::Warning);
        return;
    }
    const QString kept = QFileInfo(m_ctx.db.path()).fileName() + u".before-restore"_s;
    if (!m_ctx.prompts.askYesNo(VersionTag, u"Заменить базу копией из "_s + file +
                                                u"? Нынешняя база останется в файле "_s + kept +
                                                u'.')) {
        return;
    }
    ExchangeLock lock(m_ctx.folder);
    if (storeBusy() || !lock.tryLock()) {
        m_ctx.prompts.inform(VersionTag, ExchangeLock::BusyText, UserPrompts::Icon::Warning);
        return;
    }
    const bool done = runTrapped(m_ctx.log, u"MainForm.Restore: "_s, [&] {
        StoreCopy::restore(m_ctx.db, file);
        m_ctx.log.LogStatus(u"База восстановлена из копии: "_s + file);
    });
    runTrapped(m_ctx.log, u"Mod_DB.ReadINI: "_s,
               [&] { SettingsStore(m_ctx.db, m_ctx.log, &m_ctx.keyring).ReadINI(m_ctx.settings); });
    if (done) {
        emit restored();
    }
}

} // namespace orv
