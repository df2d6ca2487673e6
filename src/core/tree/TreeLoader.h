#pragma once

#include "TreeBuilder.h"
#include "store/Settings.h"

#include <QMutex>
#include <QObject>
#include <QSet>
#include <QThread>
#include <memory>
#include <optional>

namespace orv {

class StatusLog;

// Builds tree snapshots on a thread of its own, from a connection of its own,
// so that reading hundreds of thousands of rows never holds the window. A
// request asked for while another builds replaces whatever was waiting, so
// only the newest waiting one is built. Every finished build is delivered, also
// one a newer request has overtaken: it is still newer than the tree shown,
// and were it dropped, requests coming faster than a build would keep the
// window's tree, and whatever waits for it, from ever being shown.
class TreeLoader : public QObject {
    Q_OBJECT

public:
    struct Request {
        Settings settings;
        TreeFilter filter;
        bool withStore = true;      // false: the fixed nodes only
        QSet<QString> expandedKeys; // shown expanded besides the builder's own
    };

    TreeLoader(QString databasePath, StatusLog& log, QObject* parent = nullptr);
    ~TreeLoader() override;

    // Gives the request's number: a later request has a higher one.
    quint64 request(Request request);
    // The newest request's snapshot is not yet delivered.
    bool isLoading() const { return m_loading; }

    // The snapshot a request asks for, on the calling thread; a store that
    // cannot be read is logged as "MainForm.ReLoadTree: " and gives the fixed
    // nodes.
    static TreeSnapshot build(const QString& databasePath, StatusLog& log, const Request& request);

signals:
    // On the loader's owner's thread, for each finished build, in the order
    // of their requests: the number is that of the request built.
    void built(std::shared_ptr<TreeSnapshot> snapshot, quint64 number);

private:
    void buildWaiting();

    const QString m_databasePath;
    StatusLog& m_log;
    QThread m_thread;
    QObject* m_onThread; // lives in m_thread
    QMutex m_mutex;      // guards m_waiting and m_newest
    std::optional<Request> m_waiting;
    quint64 m_newest = 0;   // number of the newest request
    bool m_loading = false; // the owner's thread only
};

} // namespace orv
