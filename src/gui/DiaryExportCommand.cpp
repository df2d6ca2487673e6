#include "DiaryExportCommand.h"

#include "AppContext.h"
#include "app/ErrorTrap.h"
#include "app/RunControl.h"
#include "render/DiaryExport.h"
#include "render/Renderer.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QProgressDialog>

using namespace Qt::StringLiterals;

namespace orv {

DiaryExportCommand::DiaryExportCommand(AppContext& ctx, Renderer& renderer, QWidget* window)
    : QObject(window)
    , m_ctx(ctx)
    , m_renderer(renderer)
    , m_window(window) {
    pickFolder = [this](const QString& diary) {
        const QString parent = QFileDialog::getExistingDirectory(
            m_window, u"Экспорт дневника "_s + diary + u" в папку"_s, QDir::homePath());
        return parent.isEmpty() ? parent : QDir(parent).filePath(u"diary-"_s + diary);
    };
    mnu_ExportDiary = new QAction(u"Экспорт дневника…"_s, this);
    mnu_ExportDiary->setObjectName(u"mnu_ExportDiary"_s);
}

void DiaryExportCommand::exportDiary(const QString& owner) {
    const QString folder = pickFolder(owner);
    if (folder.isEmpty()) {
        return;
    }
    QProgressDialog progress(u"Экспорт дневника "_s + owner + u"..."_s, u"Отмена"_s, 0, 0,
                             m_window);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    RunControl control([&](int done, int total) {
        progress.setMaximum(total);
        progress.setValue(done); // lets the window breathe, and Cancel be pressed
    });
    connect(&progress, &QProgressDialog::canceled, this, [&] { control.requestCancel(); });
    runTrapped(m_ctx.log, u"MainForm.ExportDiary: "_s, [&] {
        DiaryExport diary(m_ctx.db, m_ctx.settings.serviceAddress(),
                          [this](const QString& body) { return m_renderer.WordProcessor(body); });
        const int written = diary.write(owner, folder, control);
        m_ctx.log.LogStatus(u"Дневник "_s + owner + u" выгружен в "_s + folder + u": постов - "_s +
                            QString::number(written) +
                            (control.cancelled() ? u" (прервано)"_s : QString()));
    });
}

} // namespace orv
