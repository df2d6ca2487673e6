#pragma once

#include "app/Session.h"
#include "app/ThreadedPrompts.h"
#include "store/Settings.h"

#include <QObject>
#include <QThread>
#include <functional>

namespace orv {

// Runs exchanges on a thread of their own, one at a time, so that the window
// stays responsive while the service answers and large answers are stored.
// Each run opens a database connection of its own on that thread (a run waits
// in nested event loops, so nothing else may touch the connection meanwhile)
// and works on a copy of the settings; the
// status log, the user's prompts and the connection-failure flag are shared.
class ExchangeWorker : public QObject {
    Q_OBJECT

public:
    using Job = std::function<void(const Session&)>;
    // The window's own session, read as each run starts: the run takes a copy
    // of its settings and deadline, and shares the rest.
    using SessionSource = std::function<Session()>;

    explicit ExchangeWorker(SessionSource window, QObject* parent = nullptr);
    ~ExchangeWorker() override;

    // Starts the job unless one is running; false when refused. A failure to
    // open the store is logged with the run's prefix.
    bool start(Job job, const QString& prefix);
    bool isBusy() const { return m_busy; }
    // The prompts the runs see: reports gathered, questions while attended.
    ThreadedPrompts& prompts() { return m_prompts; }
    // Ends the running job once the exchange in flight has been answered and
    // stored; what is left waits for the next run. Nothing when idle.
    void cancel();

signals:
    // On the owner's thread, once the job has ended.
    void finished();
    // How far the job has come: done of total items, messages or batches.
    void progress(int done, int total);

private:
    void runOnWorker(const Job& job, const QString& prefix, const Session& window);

    const SessionSource m_window;
    ThreadedPrompts m_prompts;
    QThread m_thread;
    QObject* m_onWorker; // lives in m_thread
    Settings m_settings;
    RunControl m_control;
    bool m_busy = false;
};

} // namespace orv
