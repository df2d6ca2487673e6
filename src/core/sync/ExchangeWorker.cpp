#include "ExchangeWorker.h"

#include "app/ErrorTrap.h"
#include "app/ExchangeLock.h"
#include "app/StatusLog.h"
#include "app/WorkingFolder.h"
#include "store/Database.h"

using namespace Qt::StringLiterals;

namespace orv {

ExchangeWorker::ExchangeWorker(SessionSource window, QObject* parent)
    : QObject(parent)
    , m_window(std::move(window))
    , m_prompts(m_window().prompts, this)
    , m_onWorker(new QObject)
    , m_control([this](int done, int total) { emit progress(done, total); }) {
    m_thread.setObjectName(u"exchange"_s);
    m_onWorker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_onWorker, &QObject::deleteLater);
    m_thread.start();
}

ExchangeWorker::~ExchangeWorker() {
    // A run still going ends its exchanges early and asks nothing more.
    m_prompts.close();
    m_thread.quit();
    m_thread.wait();
}

bool ExchangeWorker::start(Job job, const QString& prefix) {
    if (m_busy) {
        return false;
    }
    m_busy = true;
    const Session window = m_window();
    m_settings = window.settings;
    m_control.reset();
    QMetaObject::invokeMethod(m_onWorker, [this, job = std::move(job), prefix, window] {
        runOnWorker(job, prefix, window);
        QMetaObject::invokeMethod(this, [this] {
            m_busy = false;
            emit finished();
        });
    });
    return true;
}

void ExchangeWorker::cancel() {
    if (m_busy) {
        m_control.requestCancel();
    }
}

void ExchangeWorker::runOnWorker(const Job& job, const QString& prefix, const Session& window) {
    ExchangeLock lock(window.folder);
    if (!lock.tryLock()) {
        window.log.LogFailure(ExchangeLock::BusyText); // a run of another program
        return;
    }
    Database db(window.folder.databasePath());
    if (runTrapped(window.log, prefix, [&] { db.open(); })) {
        job(Session{window.folder, window.log, db, m_settings, m_prompts, window.ConnectionFailed,
                    window.exchangeTimeout, &m_control, window.isPicture});
    }
}

} // namespace orv
