#pragma once

#include "app/ThreadedPrompts.h"
#include "sync/AutoCheck.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <functional>

class QAction;
class QTimer;
class QWidget;

namespace orv {

struct AppContext;
struct Session;
class ExchangeWorker;
class Renderer;
class RunProgress;
class SetUpdForm;
class TrayForm;
class TreePane;

// The exchanges with the service, seen from the main window: the receive and
// send runs and the on-demand fetches on the exchange thread, one at a time;
// the clock that blinks the icon and starts the automatic checks; the
// progress beside the status list; the notification of what a check found.
class ExchangeController : public QObject {
    Q_OBJECT

public:
    // window is the main window: it owns the progress and the check settings
    // window, and a check notifies only while it is hidden.
    ExchangeController(AppContext& ctx, TrayForm& tray, TreePane& tree, Renderer& renderer,
                       QWidget& window);
    ~ExchangeController() override;

    // The receive and send runs; refused while another runs.
    void mnu_Get_Click();
    void mnu_Send_Click();
    // All comments of the selected post, and the service's new smileys.
    void mnu_GetAllComments_Click();
    void mnu_GetSmiles_Click();
    // "+1 Пост": a post by its number, fetched by the next receive.
    void mnuSinglePost_Click();

    // The clock, once a second: the icon blinks while the tree holds new
    // items, and an automatic check runs when its interval is reached.
    void Timer_Timer();
    void mnu_update_Click();
    // Whether the service accepts the account of these settings, asked on the
    // exchange thread; done gets the answer in words. False when another run
    // holds the exchange.
    bool checkLogin(const Settings& trial, std::function<void(const QString&)> done);
    QTimer* Timer;
    const AutoCheck& autoCheck() const { return m_autoCheck; }

    bool isBusy() const;
    RunProgress* runProgress() const { return m_runProgress; }

    QAction* mnu_Get = nullptr;
    QAction* mnu_Send = nullptr;
    QAction* mnu_GetSmiles = nullptr;
    QAction* mnu_GetAllComments = nullptr;
    QAction* mnuSinglePost = nullptr;
    QAction* mnu_update = nullptr;

    // What runs left for the user: the reports not yet shown, in one window
    // that does not hold anything, and the rejected messages awaiting a
    // decision, asked about now. Nothing while a run goes on or the window
    // is hidden.
    void catchUp();

signals:
    // An exchange run has ended and the tree shows its result.
    void exchangeFinished();

protected:
    // Runs started while the window is hidden ask nobody; showing it catches up.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildCommands();
    // Starts the run with the busy actions disabled until it ends, and
    // rebuilds the tree then; whenDone runs first. False when another run
    // holds the exchange. activity is what the tray's tip says meanwhile.
    bool startExchange(std::function<void(const Session&)> job, const QString& prefix,
                       const QString& activity, const QList<QAction*>& busy,
                       std::function<void()> whenDone = {});
    void finishExchange(const QList<QAction*>& busy, const std::function<void()>& whenDone);
    void startAutoCheck();
    // What a check's notification says; empty when it found nothing.
    static QString findings(const CheckReport& report);
    // Takes what the run gathered; while hidden, one notification tells of it
    // and of what a check found.
    void gatherReports();
    void showReports();
    void decidePending();
    // Keeps the time offset a run's clock difference suggests, unless it was
    // offered before; catchUp offers it.
    void noteClock(std::optional<qint64> lag);
    void offerTimeOffset();

    AppContext& m_ctx;
    TrayForm& m_tray;
    TreePane& m_tree;
    Renderer& m_renderer;
    QWidget& m_window;
    ExchangeWorker* m_worker;
    RunProgress* m_runProgress;
    QPointer<SetUpdForm> m_setUpdForm;
    AutoCheck m_autoCheck;
    QList<ThreadedPrompts::Shown> m_reports; // not yet shown
    std::optional<int> m_offsetOffer;
    QString m_findings; // of the check that just ended
};

} // namespace orv
