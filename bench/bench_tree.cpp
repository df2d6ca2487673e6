// Rebuilding the message tree from a large store into a shown tree view, beside
// the baseline of running the loading queries and reading every row.
// Usage: bench_tree [--small]
#include "BenchSupport.h"
#include "TreeModel.h"
#include "store/CommentRows.h"
#include "store/Database.h"
#include "store/Settings.h"
#include "store/TreeRows.h"
#include "tree/TreeBuilder.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTreeView>
#include <unistd.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

using namespace Qt::StringLiterals;

namespace {

// Bytes the program holds from malloc, in MB; -1 where that cannot be asked.
long heapMb() {
#ifdef __GLIBC__
    const struct mallinfo2 info = mallinfo2();
    return long((info.uordblks + info.hblkhd) / (1024 * 1024));
#else
    return -1;
#endif
}

double seconds(const std::function<void()>& work) {
    QElapsedTimer clock;
    clock.start();
    work();
    return double(clock.nsecsElapsed()) / 1e9;
}

void fill(orv::Database& db, int posts, int diaries, int comments) {
    orv::Database::Transaction t(db);
    QSqlQuery post = db.prepare(u"INSERT INTO Posts (PostID, uName, Header, New, Sent) "
                                u"VALUES (?, ?, ?, ?, 1)"_s);
    for (int i = 0; i < posts; ++i) {
        post.bindValue(0, QString::number(100000 + i));
        post.bindValue(1, QString(u"user"_s + QString::number(i % diaries)));
        // Half of the headers carry entities, as the service sends them.
        post.bindValue(2, QString(i % 2 ? u"Заголовок поста номер "_s + QString::number(i)
                                        : u"&laquo;Заголовок&raquo; &mdash; пост &#8470;&nbsp;"_s +
                                              QString::number(i)));
        post.bindValue(3, i % 50 == 0 ? 1 : 0);
        orv::Database::exec(post);
    }
    QSqlQuery comment = db.prepare(u"INSERT INTO Comments (CommentID, PostID, uName, New, Sent) "
                                   u"VALUES (?, ?, 'Ёжик', ?, 1)"_s);
    for (int i = 0; i < comments; ++i) {
        comment.bindValue(0, QString::number(1000000 + i));
        comment.bindValue(1, QString::number(100000 + (qint64(i) * 7919) % posts));
        comment.bindValue(2, i % 100 == 0 ? 1 : 0);
        orv::Database::exec(comment);
    }
    t.commit();
}

} // namespace

int main(int argc, char* argv[]) {
    orv::bench::drawOffscreenUnlessTold();
    QApplication app(argc, argv);
    const auto [posts, diaries, comments] = orv::bench::TreeStoreSize::of(app.arguments());

    QTemporaryDir dir;
    orv::Database db(dir.filePath(u"database.mdb"_s));
    db.open();
    fill(db, posts, diaries, comments);
    orv::Settings settings;
    settings.UserName = u"me"_s;
    settings.PostsToShow = QString::number(posts);
    settings.CommentsInTree = true;

    // Baseline: the loading queries, every row the tree reads read.
    qint64 rows = 0;
    QStringList headers;
    const double queries = seconds([&] {
        orv::TreeRows tree(db);
        tree.authors([&](const QString&) { ++rows; });
        tree.posts([&](const orv::PostRow& p) {
            ++rows;
            headers.append(p.header);
        });
        orv::CommentReader comments(db);
        for (orv::CommentRows block; comments.next(block);) {
            rows += qint64(block.rows().size());
        }
        for (const bool outgoing : {true, false}) {
            tree.privates(outgoing, [&](const orv::PrivateRow&) { ++rows; });
        }
    });

    orv::TreeModel model;
    QTreeView view;
    view.setModel(&model);
    view.setUniformRowHeights(true);
    view.resize(400, 800);
    view.show();
    const long before = orv::bench::residentMb();
    const long heapBefore = heapMb();
    qsizetype nodes = 0;
    // As the window shows a tree: one reset with the view's updates held, then
    // the nodes the snapshot marks expanded opened. Gives the reset's own time.
    const auto show = [&](orv::TreeSnapshot snapshot) {
        view.setUpdatesEnabled(false);
        const double reset = seconds([&] { model.reset(std::move(snapshot)); });
        for (int i = 0; i < int(model.snapshot().nodes.size()); ++i) {
            if (model.snapshot().nodes[size_t(i)].expanded) {
                view.expand(model.indexOfNode(i));
            }
        }
        view.setUpdatesEnabled(true);
        QApplication::processEvents();
        return reset;
    };
    const double rebuild = seconds([&] {
        orv::TreeSnapshot snapshot = orv::TreeBuilder(settings, &db).build();
        nodes = qsizetype(snapshot.nodes.size());
        show(std::move(snapshot));
    });
    const long after = orv::bench::residentMb();
    const long heapAfter = heapMb();
    const double again = seconds([&] { show(orv::TreeBuilder(settings, &db).build()); });
    // What the window's thread spends when a tree built elsewhere replaces the
    // shown one: the model reset, the old tree freed in it. The best of three.
    double swap = 0;
    for (int run = 0; run < 3; ++run) {
        const double once = show(orv::TreeBuilder(settings, &db).build());
        swap = run == 0 ? once : std::min(swap, once);
    }
    QTextStream(stdout) << u"a tree built beforehand replaces the shown one in %1 s (the model "
                           u"reset, the old tree freed)\n"_s.arg(swap, 0, 'f', 4);

    // The snapshot alone (queries, captions, states, no view): the best of three.
    double snapshotOnly = 0;
    for (int run = 0; run < 3; ++run) {
        const double once = seconds([&] { orv::TreeBuilder(settings, &db).build(); });
        snapshotOnly = run == 0 ? once : std::min(snapshotOnly, once);
    }

    // The window finds the node selected before a rebuild by its key; the
    // last node's key is the farthest.
    const QString lastKey = model.snapshot().key(int(model.snapshot().nodes.size()) - 1);
    QModelIndex found;
    const double lookUp = seconds([&] { found = model.indexOfKey(lastKey); });
    QTextStream(stdout) << u"the last node found by its key in %1 s%2\n"_s.arg(lookUp, 0, 'f', 4)
                               .arg(found.isValid() ? QString() : u" (not found)"_s);

    // A rebuild opens again the nodes the user had open, by key: here every
    // node the builder opened, in a snapshot built without them open.
    QSet<QString> openKeys;
    for (int i = 0; i < int(model.snapshot().nodes.size()); ++i) {
        if (model.snapshot().nodes[size_t(i)].expanded) {
            openKeys.insert(model.snapshot().key(i));
        }
    }
    orv::TreeSnapshot closed = orv::TreeBuilder(settings, &db).build();
    for (orv::TreeNode& node : closed.nodes) {
        node.expanded = false;
    }
    const double reopen = seconds([&] { closed.expandKeys(openKeys); });
    QTextStream(stdout)
        << u"%1 nodes opened again by key in %2 s\n"_s.arg(openKeys.size()).arg(reopen, 0, 'f', 4);

    // "Следующее новое" through every new item once: one walk over the tree.
    int newVisited = 0;
    const double walk = seconds([&] {
        const QModelIndex first = model.firstNew();
        for (QModelIndex at = first; at.isValid(); at = model.nextNew(at)) {
            if (++newVisited > 1 && at == first) {
                break;
            }
        }
    });
    QTextStream(stdout) << u"%1 new items of %2 walked in tree order in %3 s\n"_s
                               .arg(newVisited - 1)
                               .arg(model.newItems())
                               .arg(walk, 0, 'f', 3);

    // The post captions alone, ten times over.
    qsizetype captionLength = 0;
    const double captions = seconds([&] {
        for (int run = 0; run < 10; ++run) {
            for (const QString& header : std::as_const(headers)) {
                captionLength += orv::TreeBuilder::postCaption(header).size();
            }
        }
    });
    QTextStream(stdout) << u"%1 post captions made ten times in %2 s (%3 characters)\n"_s
                               .arg(headers.size())
                               .arg(captions, 0, 'f', 3)
                               .arg(captionLength);

    QTextStream(stdout) << u"tree of %1 nodes (%2 rows): rebuilt and shown in %3 s, a second "
                           u"rebuild %4 s; the snapshot alone %9 s; the loading queries alone %5 "
                           u"s; ratio %6; resident memory %7 MB -> %8 MB; heap %10 MB -> %11 MB\n"_s
                               .arg(nodes)
                               .arg(rows)
                               .arg(rebuild, 0, 'f', 3)
                               .arg(again, 0, 'f', 3)
                               .arg(queries, 0, 'f', 3)
                               .arg(rebuild / queries, 0, 'f', 2)
                               .arg(before)
                               .arg(after)
                               .arg(snapshotOnly, 0, 'f', 3)
                               .arg(heapBefore)
                               .arg(heapAfter);
    return 0;
}
