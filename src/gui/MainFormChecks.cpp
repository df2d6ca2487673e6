// The main window's clock: the blinking icon and the automatic checks.
#include "AppContext.h"
#include "MainForm.h"
#include "SetUpdForm.h"
#include "TrayForm.h"
#include "TreeModel.h"
#include "sync/ExchangeWorker.h"

#include <QTimer>
#include <QTreeView>
#include <memory>

using namespace Qt::StringLiterals;

namespace orv {

void MainForm::Timer_Timer() {
    m_tray.blink(m_newInTree > 0);
    // A check due while another run goes on waits for a later tick.
    if (m_autoCheck.tick(m_ctx.options) && !m_worker->isBusy()) {
        startAutoCheck();
    }
}

void MainForm::startAutoCheck() {
    auto report = std::make_shared<CheckReport>();
    const Options options = m_ctx.options;
    startExchange(
        [report, options](const Session& session) { *report = AutoCheck::run(session, options); },
        u"MainForm.Timer: "_s, TrayForm::Receiving, {},
        [this, report] {
            m_autoCheck.restart();
            notifyOf(*report);
        });
}

void MainForm::notifyOf(const CheckReport& report) {
    if (!report.anything() || isVisible() || !m_ctx.options.show_notifications) {
        return;
    }
    m_tray.notify(u"Kordenet: новых постов "_s + QString::number(report.posts) +
                  u", комментариев "_s + QString::number(report.comments) + u", личных "_s +
                  QString::number(report.privates));
}

void MainForm::showFirstNew() {
    show();
    raise();
    activateWindow();
    const QModelIndex first = m_treeModel->firstNew();
    if (first.isValid()) {
        Tree->setCurrentIndex(first);
        Tree->scrollTo(first);
        Tree_NodeClick(first);
    }
}

void MainForm::mnu_update_Click() {
    Timer->stop(); // no checks and no blinking while the settings change
    if (!m_setUpdForm) {
        m_setUpdForm = new SetUpdForm(m_ctx, this);
        connect(m_setUpdForm, &SetUpdForm::saved, this, [this] {
            m_autoCheck.restart();
            Timer->start();
        });
        connect(m_setUpdForm, &SetUpdForm::dismissed, this, [this] { Timer->start(); });
    }
    m_setUpdForm->Form_Load();
    m_setUpdForm->show();
    m_setUpdForm->raise();
    m_setUpdForm->activateWindow();
}

} // namespace orv
