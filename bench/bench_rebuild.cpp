// The tree rebuilt as the window does it: the snapshot built off the window's
// thread and swapped into a shown view. Reports the time from asking to shown
// beside the loading queries reading every row, the CPU time of both, the
// longest the window's event loop waited meanwhile, and the memory above the
// empty program.
// Usage: bench_rebuild [--small]
#include "BenchSupport.h"
#include "TreeModel.h"
#include "TreeSwapper.h"
#include "app/StatusLog.h"
#include "store/CommentRows.h"
#include "store/Database.h"
#include "store/TreeRows.h"
#include "tree/TreeLoader.h"

#include <QApplication>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <QTreeView>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// Diaries of posts with a comment share each, one item in fifty new, made by
// the store's engine in one statement per table.
void fill(orv::Database& db, int posts, int diaries, int comments) {
    orv::Database::Transaction transaction(db);
    QSqlQuery post = db.prepare(
        u"WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i + 1 < ?) "
        u"INSERT INTO Posts (PostID, uName, Header, New, Sent) SELECT 100000 + i, "
        u"'user' || (i % ?), '&laquo;Заголовок&raquo; поста ' || i, i % 50 = 0, 1 FROM n"_s);
    post.addBindValue(posts);
    post.addBindValue(diaries);
    orv::Database::exec(post);
    QSqlQuery comment = db.prepare(
        u"WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i + 1 < ?) "
        u"INSERT INTO Comments (CommentID, PostID, uName, New, Sent) SELECT 1000000 + i, "
        u"100000 + (i * 7919) % ?, 'Ёжик' || (i % 300), i % 100 = 0, 1 FROM n"_s);
    comment.addBindValue(comments);
    comment.addBindValue(posts);
    orv::Database::exec(comment);
    transaction.commit();
}

// The longest wait between two ticks of a 1 ms timer on this thread.
class LoopWatch : public QObject {
public:
    LoopWatch() {
        m_timer.setInterval(1);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            m_longest = std::max(m_longest, now - m_last);
            m_last = now;
        });
    }
    void start() {
        m_longest = 0;
        m_clock.start();
        m_last = 0;
        m_timer.start();
    }
    double stopMs() {
        m_timer.stop();
        return double(m_longest) / 1e6;
    }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_longest = 0;
};

struct Rebuild {
    double seconds = 0;
    double cpuSeconds = 0; // of every thread, the window's and the builder's
    double longestWaitMs = 0;
};

Rebuild rebuild(orv::TreeLoader& loader, orv::TreeSwapper& swapper,
                const orv::TreeLoader::Request& request) {
    LoopWatch watch;
    QEventLoop shown;
    QElapsedTimer clock;
    const auto connection =
        QObject::connect(&loader, &orv::TreeLoader::built, &shown,
                         [&](const std::shared_ptr<orv::TreeSnapshot>& snapshot) {
                             swapper.swapIn(std::move(*snapshot));
                             // Painted before the clock stops.
                             QTimer::singleShot(0, &shown, &QEventLoop::quit);
                         });
    watch.start();
    const double cpuBefore = orv::bench::processCpuSeconds();
    clock.start();
    loader.request(request);
    shown.exec();
    const Rebuild result{double(clock.nsecsElapsed()) / 1e9,
                         orv::bench::processCpuSeconds() - cpuBefore, watch.stopMs()};
    QObject::disconnect(connection);
    return result;
}

} // namespace

int main(int argc, char* argv[]) {
    orv::bench::drawOffscreenUnlessTold();
    QApplication app(argc, argv);
    const auto [posts, diaries, comments] = orv::bench::TreeStoreSize::of(app.arguments());

    QTemporaryDir dir;
    const QString path = dir.filePath(u"database.mdb"_s);
    {
        orv::Database db(path);
        db.open();
        fill(db, posts, diaries, comments);
    }
    orv::StatusLog log(dir.filePath(u"log.txt"_s));
    orv::TreeLoader::Request request;
    request.settings.UserName = u"me"_s;
    request.settings.PostsToShow = QString::number(posts);
    request.settings.CommentsInTree = true;

    // Baseline: the loading queries, every row read, on a connection of their own.
    // Timed after a warm-up, best of several, in turn with the rebuilds.
    qint64 rows = 0;
    double queriesCpu = 1e9;
    const auto loadingQueries = [&] {
        rows = 0;
        double cpu = 0;
        const double wall = orv::bench::seconds([&] {
            cpu = orv::bench::processCpuSecondsOf([&] {
                orv::Database db(path);
                db.open();
                orv::TreeRows tree(db);
                tree.posts([&](const orv::PostRow&) { ++rows; });
                orv::CommentReader comments(db);
                for (orv::CommentRows block; comments.next(block);) {
                    rows += qint64(block.rows().size());
                }
            });
        });
        queriesCpu = std::min(queriesCpu, cpu);
        return wall;
    };
    loadingQueries();
    double queries = loadingQueries();

    orv::TreeModel model;
    QTreeView view;
    view.setModel(&model);
    view.setUniformRowHeights(true);
    view.resize(400, 800);
    view.show();
    orv::TreeSwapper swapper(view, model);
    orv::TreeLoader loader(path, log);
    QApplication::processEvents();
    const long empty = orv::bench::residentMb();

    const Rebuild first = rebuild(loader, swapper, request);
    const long afterFirst = orv::bench::residentMb();
    request.expandedKeys = swapper.expandedKeys();
    Rebuild second = rebuild(loader, swapper, request); // drops the first tree too
    const long afterSecond = orv::bench::residentMb();
    for (int round = 0; round < 3; ++round) {
        queries = std::min(queries, loadingQueries());
        const Rebuild again = rebuild(loader, swapper, request);
        second.seconds = std::min(second.seconds, again.seconds);
        second.cpuSeconds = std::min(second.cpuSeconds, again.cpuSeconds);
        second.longestWaitMs = std::max(second.longestWaitMs, again.longestWaitMs);
    }

    QTextStream(stdout)
        << u"tree of %1 nodes (%2 rows), built off the window's thread and shown: first %3 s, "
           u"again %4 s (best of four); the loading queries alone %5 s (best of four, after a "
           u"warm-up); ratio %6 (again %7)\n"_s.arg(model.snapshot().nodes.size())
               .arg(rows)
               .arg(first.seconds, 0, 'f', 3)
               .arg(second.seconds, 0, 'f', 3)
               .arg(queries, 0, 'f', 3)
               .arg(first.seconds / queries, 0, 'f', 2)
               .arg(second.seconds / queries, 0, 'f', 2)
        << u"CPU of all threads meanwhile: first %1 s, again %2 s; the loading queries %3 s; "
           u"ratio %4 (again %5)\n"_s.arg(first.cpuSeconds, 0, 'f', 3)
               .arg(second.cpuSeconds, 0, 'f', 3)
               .arg(queriesCpu, 0, 'f', 3)
               .arg(first.cpuSeconds / queriesCpu, 0, 'f', 2)
               .arg(second.cpuSeconds / queriesCpu, 0, 'f', 2)
        << u"longest wait of the window's event loop: first %1 ms, again %2 ms\n"_s
               .arg(first.longestWaitMs, 0, 'f', 1)
               .arg(second.longestWaitMs, 0, 'f', 1)
        << u"resident memory: empty program %1 MB, after the rebuild %2 MB (+%3), after the "
           u"second %4 MB (+%5)\n"_s.arg(empty)
               .arg(afterFirst)
               .arg(afterFirst - empty)
               .arg(afterSecond)
               .arg(afterSecond - empty);
    return 0;
}
