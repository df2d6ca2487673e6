#include "ExchangeWorker.h"

#include "AppContext.h"
#include "app/ErrorTrap.h"
#include "app/ExchangeLock.h"
#include "store/Database.h"

using namespace Qt::StringLiterals;

namespace orv {

ExchangeWorker::ExchangeWorker(AppContext& ctx, QObject* parent)
    : QObject(parent)
    , m_ctx(ctx)
    , m_prompts(ctx.prompts, this)
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
    m_settings = m_ctx.settings;
    m_control.reset();
    QMetaObject::invokeMethod(m_onWorker, [this, job = std::move(job), prefix] {
        runOnWorker(job, prefix);
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

void ExchangeWorker::runOnWorker(const Job& job, const QString& prefix) {
    ExchangeLock lock(m_ctx.folder);
    if (!lock.tryLock()) {
        m_ctx.log.LogFailure(ExchangeLock::BusyText); // a run of another program
        return;
    }
    Database db(m_ctx.folder.databasePath());
    if (runTrapped(m_ctx.log, prefix, [&] { db.open(); })) {
        job(Session{m_ctx.folder, m_ctx.log, db, m_settings, m_prompts, m_ctx.ConnectionFailed,
                    m_ctx.exchangeTimeout, &m_control});
    }
}

} // namespace orv
