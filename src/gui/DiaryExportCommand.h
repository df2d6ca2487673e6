#pragma once

#include <QObject>
#include <functional>

class QAction;
class QWidget;

namespace orv {

struct AppContext;
class Renderer;

// "Экспорт дневника…" on a diary node: the diary written into a folder the
// user picks, with progress and a cancel.
class DiaryExportCommand : public QObject {
    Q_OBJECT

public:
    DiaryExportCommand(AppContext& ctx, Renderer& renderer, QWidget* window);

    // The folder to write into; empty when the user cancelled. A folder
    // dialog unless replaced.
    std::function<QString(const QString& diary)> pickFolder;

    // Exports the diary of the owner.
    void exportDiary(const QString& owner);

    QAction* mnu_ExportDiary;

private:
    AppContext& m_ctx;
    Renderer& m_renderer;
    QWidget* m_window;
};

} // namespace orv
