// The main window's own state and the commands every desktop program has.
#include "AppContext.h"
#include "MainForm.h"
#include "TrayForm.h"
#include "TreePane.h"
#include "app/Constants.h"
#include "app/UserPrompts.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QSettings>
#include <QSplitter>
#include <QTreeView>

using namespace Qt::StringLiterals;

namespace orv {
namespace {

const QString kGeometry = u"window/geometry"_s;
const QString kSplitter = u"window/splitter"_s;
const QString kTreeWidth = u"window/treeColumn"_s;
const QString kLastNode = u"window/lastNode"_s;

} // namespace

void MainForm::mnu_About_Click() {
    const qint64 bytes = QFileInfo(m_ctx.folder.databasePath()).size();
    m_ctx.prompts.inform(
        u"О программе"_s,
        ProductName + u' ' + VersionTag + u"\r\nОфлайн-клиент Корденета\r\n\r\nРабочая папка: "_s +
            QDir::toNativeSeparators(m_ctx.folder.AppFolder()) + u"\r\nБаза данных: "_s +
            QLocale(QLocale::Russian).toString(double(bytes) / (1024 * 1024), 'f', 1) + u" МБ"_s,
        UserPrompts::Icon::Information);
}

void MainForm::saveWindowState() {
    m_ctx.userStore.setValue(kGeometry, saveGeometry());
    m_ctx.userStore.setValue(kSplitter, m_splitter->saveState());
    m_ctx.userStore.setValue(kTreeWidth, m_treePane->tree()->columnWidth(0));
    if (const QString key = m_treePane->selectedKey(); !key.isEmpty()) {
        m_ctx.userStore.setValue(kLastNode, key);
    }
}

void MainForm::restoreWindowState() {
    restoreGeometry(m_ctx.userStore.value(kGeometry).toByteArray());
    m_splitter->restoreState(m_ctx.userStore.value(kSplitter).toByteArray());
    if (const int width = m_ctx.userStore.value(kTreeWidth).toInt(); width > 0) {
        m_treePane->tree()->setColumnWidth(0, width);
    }
}

bool MainForm::startsHidden() const {
    // Without a notification area a hidden window could not be reached.
    return (m_startHidden || m_ctx.options.StartMinimized) && TrayForm::notificationAreaAvailable();
}

void MainForm::bringForward() {
    show();
    if (isMinimized()) {
        setWindowState(windowState() & ~Qt::WindowMinimized); // a maximized window stays so
    }
    raise();
    activateWindow();
    offerLeftDraft();
}

void MainForm::selectLastNode() {
    m_treePane->selectKey(m_ctx.userStore.value(kLastNode).toString());
}

} // namespace orv
