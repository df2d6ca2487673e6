#include "ExchangeController.h"

#include "AppContext.h"
#include "CommandAction.h"
#include "Dialog.h"
#include "RunProgress.h"
#include "SetUpdForm.h"
#include "TrayForm.h"
#include "TreePane.h"
#include "app/Constants.h"
#include "app/ErrorTrap.h"
#include "app/ExchangeLock.h"
#include "app/UserPrompts.h"
#include "render/Renderer.h"
#include "store/SettingsStore.h"
#include "sync/ExchangeWorker.h"
#include "sync/LoginCheck.h"
#include "sync/Maintenance.h"
#include "sync/OnDemandFetch.h"
#include "sync/ReceiveRun.h"
#include "sync/SendRun.h"
#include "sync/ServiceClock.h"

#include <QEvent>
#include <QSettings>
#include <QTimer>
#include <QWidget>
#include <memory>
#include <utility>

using namespace Qt::StringLiterals;

namespace orv {
namespace {

// Set in the per-user store once the time offset has been offered.
const QString kOffsetOffered = u"window/timeOffsetOffered"_s;

} // namespace

ExchangeController::ExchangeController(AppContext& ctx, TrayForm& tray, TreePane& tree,
                                       Renderer& renderer, QWidget& window)
    : QObject(&window)
    , m_ctx(ctx)
    , m_tray(tray)
    , m_tree(tree)
    , m_renderer(renderer)
    , m_window(window)
    , m_worker(new ExchangeWorker([&ctx] { return ctx.session(); }, this))
    , m_runProgress(new RunProgress(&window)) {
    setObjectName(u"ExchangeController"_s);
    Timer = new QTimer(this);
    Timer->setObjectName(u"Timer"_s);
    Timer->setInterval(1000);
    connect(Timer, &QTimer::timeout, this, &ExchangeController::Timer_Timer);
    connect(m_runProgress, &RunProgress::cancelRequested, m_worker, &ExchangeWorker::cancel);
    connect(m_worker, &ExchangeWorker::progress, m_runProgress, &RunProgress::setProgress);
    buildCommands();
    m_tree.exchangeBusy = [this] { return isBusy(); };
    m_window.installEventFilter(this);
}

ExchangeController::~ExchangeController() = default;

void ExchangeController::buildCommands() {
    mnu_Get = newCommand(this, u"mnu_Get"_s, u"Получить"_s, Qt::Key_F2);
    mnu_Send = newCommand(this, u"mnu_Send"_s, u"Отправить"_s, Qt::Key_F3);
    mnu_GetSmiles = newCommand(this, u"mnu_GetSmiles"_s, u"Получить смайлы"_s);
    mnu_GetAllComments = newCommand(this, u"mnu_GetAllComments"_s, u"Получить все комменты"_s);
    mnuSinglePost = newCommand(this, u"mnuSinglePost"_s, u"+1 Пост"_s);
    mnu_update = newCommand(this, u"mnu_update"_s, u"Настройка автообновлений"_s);
    connect(mnu_Get, &QAction::triggered, this, &ExchangeController::mnu_Get_Click);
    connect(mnu_Send, &QAction::triggered, this, &ExchangeController::mnu_Send_Click);
    connect(mnu_GetSmiles, &QAction::triggered, this, &ExchangeController::mnu_GetSmiles_Click);
    connect(mnu_GetAllComments, &QAction::triggered, this,
            &ExchangeController::mnu_GetAllComments_Click);
    connect(mnuSinglePost, &QAction::triggered, this, &ExchangeController::mnuSinglePost_Click);
    connect(mnu_update, &QAction::triggered, this, &ExchangeController::mnu_update_Click);
}

bool ExchangeController::isBusy() const {
    return m_worker->isBusy();
}

void ExchangeController::mnu_Get_Click() {
    auto lag = std::make_shared<std::optional<qint64>>();
    startExchange(
        [lag](const Session& session) {
            ReceiveRun run(session);
            run.run();
            *lag = run.fetcher().clockLag;
        },
        u"MainForm.mnu_Get_Click: "_s, TrayForm::Receiving, {mnu_Get, mnu_Send, mnu_GetAllComments},
        [this, lag] { noteClock(*lag); });
}

void ExchangeController::noteClock(std::optional<qint64> lag) {
    if (lag && !m_offsetOffer && !m_ctx.userStore.contains(kOffsetOffered)) {
        m_offsetOffer = ServiceClock::offsetHours(*lag);
    }
}

void ExchangeController::offerTimeOffset() {
    const auto hours = std::exchange(m_offsetOffer, std::nullopt);
    if (!hours) {
        return;
    }
    m_ctx.userStore.setValue(kOffsetOffered, true); // once, whatever the answer
    if (m_ctx.prompts.askYesNo(VersionTag, ServiceClock::question(*hours))) {
        m_ctx.settings.TimeOffset = QString::number(*hours);
        SettingsStore(m_ctx.db, m_ctx.log).writeOne(m_ctx.settings, u"TimeOffset"_s);
    }
}

void ExchangeController::mnu_Send_Click() {
    // Receiving and sending stay enabled: while a run goes on, a second one
    // is refused with a status line.
    startExchange([](const Session& session) { SendRun(session).run(); },
                  u"MainForm.mnu_Send_Click: "_s, TrayForm::Sending, {mnu_GetAllComments});
}

void ExchangeController::mnu_GetAllComments_Click() {
    const QString key = m_tree.selectedKey();
    startExchange([key](const Session& session) { OnDemandFetch::GetAllComments(session, key); },
                  u"MainForm.mnu_GetAllComments_Click: "_s, TrayForm::Receiving,
                  {mnu_GetAllComments});
}

void ExchangeController::mnu_GetSmiles_Click() {
    // The view shows the new smileys from its next page on.
    startExchange([](const Session& session) { OnDemandFetch::GetSmiles(session); },
                  u"MainForm.mnu_GetSmiles_Click: "_s, TrayForm::Receiving, {},
                  [this] { m_renderer.smileysChanged(); });
}

void ExchangeController::mnuSinglePost_Click() {
    const QString title = u"Запрос на ввод номера поста"_s;
    const auto typed =
        m_ctx.prompts.askText(title, u"Введи номер поста (не коммента!), который нужно получить"_s);
    if (typed && StackSinglePost(m_ctx.session(), *typed)) {
        m_tree.ReLoadTree();
        return;
    }
    m_ctx.prompts.inform(title, u"Введенный номер не корректен. Попробуй еще раз."_s,
                         UserPrompts::Icon::None);
}

bool ExchangeController::startExchange(std::function<void(const Session&)> job,
                                       const QString& prefix, const QString& activity,
                                       const QList<QAction*>& busy,
                                       std::function<void()> whenDone) {
    if (!m_worker->start(std::move(job), prefix)) {
        m_ctx.log.LogStatus(ExchangeLock::BusyText);
        return false;
    }
    m_worker->prompts().setAttended(m_window.isVisible());
    for (QAction* action : busy) {
        action->setEnabled(false);
    }
    m_runProgress->start();
    m_tray.showRunning(activity);
    connect(
        m_worker, &ExchangeWorker::finished, this,
        [this, busy, whenDone] { finishExchange(busy, whenDone); }, Qt::SingleShotConnection);
    return true;
}

void ExchangeController::finishExchange(const QList<QAction*>& busy,
                                        const std::function<void()>& whenDone) {
    m_runProgress->finish();
    m_tray.showIdle();
    if (whenDone) {
        whenDone();
    }
    gatherReports();
    // The run wrote check times through its own connection.
    SettingsStore(m_ctx.db, m_ctx.log, &m_ctx.keyring).ReadINI(m_ctx.settings);
    for (QAction* action : busy) {
        action->setEnabled(true);
    }
    m_tree.reloadTreeThen([this] {
        emit exchangeFinished();
        catchUp();
    });
}

bool ExchangeController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &m_window && event->type() == QEvent::Show) {
        m_worker->prompts().setAttended(true);
        // Once the window is up, not from inside its show.
        QTimer::singleShot(0, this, &ExchangeController::catchUp);
    } else if (watched == &m_window && event->type() == QEvent::Hide) {
        m_worker->prompts().setAttended(false);
    }
    return QObject::eventFilter(watched, event);
}

void ExchangeController::gatherReports() {
    const QList<ThreadedPrompts::Shown> reports = m_worker->prompts().takeReports();
    QStringList lines = m_worker->prompts().takeNotices();
    if (!m_findings.isEmpty()) {
        lines.prepend(std::exchange(m_findings, {}));
    }
    m_reports += reports;
    if (m_window.isVisible() || !m_ctx.options.show_notifications) {
        return; // shown, or asked about, by catchUp
    }
    for (const ThreadedPrompts::Shown& report : reports) {
        lines.append(report.text);
    }
    if (!lines.isEmpty()) {
        m_tray.notify(lines.join(u'\n'));
    }
}

void ExchangeController::catchUp() {
    if (!m_window.isVisible() || m_worker->isBusy()) {
        return;
    }
    showReports();
    decidePending();
    offerTimeOffset();
}

void ExchangeController::showReports() {
    if (m_reports.isEmpty()) {
        return;
    }
    QStringList captions;
    QStringList texts;
    for (const ThreadedPrompts::Shown& report : std::exchange(m_reports, {})) {
        if (!report.caption.isEmpty() && !captions.contains(report.caption)) {
            captions.append(report.caption);
        }
        texts.append(report.text);
    }
    auto* dialog = new Dialog(captions.join(u", "_s), texts.join(u"\r\n\r\n"_s), &m_window);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setModal(false);
    dialog->show();
}

void ExchangeController::decidePending() {
    int decided = 0;
    runTrapped(m_ctx.log, u"MainForm.mnu_Send_Click: "_s,
               [&] { decided = SendRun(m_ctx.session()).decidePending(); });
    if (decided > 0) {
        m_tree.ReLoadTree();
    }
}

void ExchangeController::Timer_Timer() {
    m_tray.blink(m_tree.NewInTree() > 0);
    // A check due while another run goes on waits for a later tick.
    if (m_autoCheck.tick(m_ctx.options) && !m_worker->isBusy()) {
        startAutoCheck();
    }
}

void ExchangeController::startAutoCheck() {
    auto report = std::make_shared<CheckReport>();
    const Options options = m_ctx.options;
    startExchange(
        [report, options](const Session& session) { *report = AutoCheck::run(session, options); },
        u"MainForm.Timer: "_s, TrayForm::Receiving, {},
        [this, report] {
            m_autoCheck.restart();
            m_findings = findings(*report);
            noteClock(report->clockLag);
        });
}

QString ExchangeController::findings(const CheckReport& report) {
    if (!report.refusal.isEmpty()) {
        return report.refusal; // a refused password must not pass for quiet
    }
    if (!report.anything()) {
        return {};
    }
    return u"Kordenet: новых постов "_s + QString::number(report.posts) + u", комментариев "_s +
           QString::number(report.comments) + u", личных "_s + QString::number(report.privates);
}

bool ExchangeController::checkLogin(const Settings& trial,
                                    std::function<void(const QString&)> done) {
    auto result = std::make_shared<QString>();
    return startExchange(
        [trial, result](const Session& session) {
            // The typed account, and a connection failure of its own: an
            // earlier run's failure must not skip this exchange.
            Settings settings = trial;
            std::atomic<bool> failed{false};
            const Session check{
                session.folder,         session.log, session.db, settings, session.prompts, failed,
                session.exchangeTimeout};
            *result = LoginCheck::run(check);
        },
        u"AccountForm.ButCheck_Click: "_s, TrayForm::Receiving, {},
        [result, done = std::move(done)] { done(*result); });
}

void ExchangeController::mnu_update_Click() {
    Timer->stop(); // no checks and no blinking while the settings change
    if (!m_setUpdForm) {
        m_setUpdForm = new SetUpdForm(m_ctx, &m_window);
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
