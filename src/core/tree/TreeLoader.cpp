#include "TreeLoader.h"

#include "app/ErrorTrap.h"
#include "store/Database.h"

#include <QMutexLocker>

using namespace Qt::StringLiterals;

namespace orv {

TreeLoader::TreeLoader(QString databasePath, StatusLog& log, QObject* parent)
    : QObject(parent)
    , m_databasePath(std::move(databasePath))
    , m_log(log)
    , m_onThread(new QObject) {
    m_thread.setObjectName(u"tree"_s);
    m_onThread->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_onThread, &QObject::deleteLater);
    m_thread.start();
}

TreeLoader::~TreeLoader() {
    {
        QMutexLocker lock(&m_mutex);
        m_waiting.reset(); // a build under way ends; nothing more starts
    }
    m_thread.quit();
    m_thread.wait();
}

quint64 TreeLoader::request(Request request) {
    bool idle = false;
    quint64 number = 0;
    {
        QMutexLocker lock(&m_mutex);
        idle = !m_waiting.has_value();
        m_waiting = std::move(request);
        number = ++m_newest;
    }
    m_loading = true;
    if (idle) { // otherwise the thread has this one in its queue already
        QMetaObject::invokeMethod(m_onThread, [this] { buildWaiting(); });
    }
    return number;
}

void TreeLoader::buildWaiting() {
    Request request;
    quint64 number = 0;
    {
        QMutexLocker lock(&m_mutex);
        if (!m_waiting) {
            return;
        }
        request = std::move(*m_waiting);
        m_waiting.reset();
        number = m_newest;
    }
    auto snapshot = std::make_shared<TreeSnapshot>(build(m_databasePath, m_log, request));
    QMetaObject::invokeMethod(this, [this, snapshot = std::move(snapshot), number] {
        {
            QMutexLocker lock(&m_mutex);
            m_loading = number != m_newest; // when overtaken, the newer one is on its way
        }
        emit built(snapshot, number);
    });
}

TreeSnapshot TreeLoader::build(const QString& databasePath, StatusLog& log,
                               const Request& request) {
    TreeSnapshot snapshot;
    const bool read = runTrapped(log, u"MainForm.ReLoadTree: "_s, [&] {
        if (!request.withStore) {
            snapshot = TreeBuilder(request.settings).build();
            return;
        }
        Database db(databasePath);
        db.open();
        snapshot = TreeBuilder(request.settings, &db, request.filter).build();
    });
    if (!read) {
        snapshot = TreeBuilder(request.settings).build(); // the fixed nodes at least
    }
    snapshot.expandKeys(request.expandedKeys);
    return snapshot;
}

} // namespace orv
