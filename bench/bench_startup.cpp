// The program's start over a large store, up to the message tree shown, each
// start a process of its own so that its CPU time is all of the start: the
// libraries loaded, the windows made, the store opened and cleaned, the tree
// built and swapped in. Beside it, in processes of their own too:
//  - an empty window started and shown (what any start costs at the least);
//  - the same start, then the tree's loading queries reading every row on a
//    connection of their own.
// Each figure is the best of several starts, the kinds taken in turn.
// Usage: bench_startup [--small] [--folder DIR]   (--folder: the store made there
// and kept, to start the program on it by hand: bench_startup --start program DIR)
#include "BenchSupport.h"
#include "MainForm.h"
#include "TrayForm.h"
#include "TreePane.h"
#include "store/CommentRows.h"
#include "store/Database.h"
#include "store/TreeRows.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Diaries of posts with three comments each on average, one item in fifty new,
// every one with a short body and added today, so that the start's clean-up
// reads them all and deletes none.
void fill(const QString& folder, int posts, int diaries, int comments) {
    orv::Database db(folder + u"/database.mdb"_s);
    db.open();
    orv::Database::Transaction transaction(db);
    QSqlQuery post = db.prepare(
        u"WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i + 1 < ?) "
        u"INSERT INTO Posts (PostID, JournalID, uName, Header, Message, Messagedate, AddDate, New, "
        u"Sent) SELECT 100000 + i, '71', 'user' || (i % ?), '&laquo;Заголовок&raquo; поста ' || "
        u"i, 'Текст поста номер ' || i || ', не очень длинный, но и не пустой.', "
        u"'2026-01-01 10:00:00', datetime('now'), i % 50 = 0, 1 FROM n"_s);
    post.addBindValue(posts);
    post.addBindValue(diaries);
    orv::Database::exec(post);
    QSqlQuery comment = db.prepare(
        u"WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i + 1 < ?) "
        u"INSERT INTO Comments (CommentID, PostID, JournalID, uName, Header, Message, "
        u"Messagedate, AddDate, New, Sent) SELECT 1000000 + i, 100000 + (i * 7919) % ?, '71', "
        u"'Ёжик' || (i % 300), '', 'Комментарий номер ' || i || ' к посту.', "
        u"'2026-01-01 11:00:00', datetime('now'), i % 100 = 0, 1 FROM n"_s);
    comment.addBindValue(comments);
    comment.addBindValue(posts);
    orv::Database::exec(comment);
    QSqlQuery setting = db.prepare(u"UPDATE iniSettings SET iniValue = ? WHERE iniVariable = ?"_s);
    for (const auto& [name, value] :
         {std::pair(u"UserName"_s, u"me"_s), std::pair(u"PostsToShow"_s, QString::number(posts))}) {
        setting.bindValue(0, value);
        setting.bindValue(1, name);
        orv::Database::exec(setting);
    }
    transaction.commit();
}

// One start in this process; prints its CPU seconds when the tree is shown.
int start(const QString& kind, const QString& folder, int argc, char* argv[]) {
    QApplication app(argc, argv);
    QTextStream out(stdout);
    if (kind == u"program"_s) {
        orv::bench::SilentPrompts prompts;
        QSettings userStore(folder + u"/user.ini"_s, QSettings::IniFormat);
        orv::AppContext ctx(orv::WorkingFolder(folder), prompts, userStore);
        orv::TrayForm tray(ctx);
        orv::MainForm mainForm(ctx, tray);
        tray.attach(&mainForm);
        QObject::connect(&mainForm.treePane(), &orv::TreePane::treeShown, &app, [&] {
            // Painted before the clock stops.
            QTimer::singleShot(0, &app, [&] {
                out << cpuSeconds() << Qt::endl;
                app.quit();
            });
        });
        QTimer::singleShot(0, &mainForm, &orv::MainForm::Form_Load);
        return QApplication::exec();
    }
    QMainWindow window;
    window.resize(800, 600);
    window.show();
    if (kind == u"queries"_s) {
        orv::Database db(folder + u"/database.mdb"_s);
        db.open();
        orv::TreeRows tree(db);
        qint64 rows = 0;
        tree.posts([&](const orv::PostRow&) { ++rows; });
        orv::CommentReader comments(db);
        for (orv::CommentRows block; comments.next(block);) {
            rows += qint64(block.rows().size());
        }
    }
    QTimer::singleShot(0, &app, [&] {
        out << cpuSeconds() << Qt::endl;
        app.quit();
    });
    return QApplication::exec();
}

struct Start {
    double cpu = 1e9;
    double wall = 1e9;
};

// The best of the starts of the kind, each a new process.
void startOnce(const QString& kind, const QString& folder, Start& best) {
    QProcess process;
    QElapsedTimer clock;
    clock.start();
    process.start(QCoreApplication::applicationFilePath(), {u"--start"_s, kind, folder});
    process.waitForFinished(120000);
    const double wall = double(clock.nsecsElapsed()) / 1e9;
    const double cpu = QString::fromUtf8(process.readAllStandardOutput()).trimmed().toDouble();
    if (process.exitCode() != 0 || cpu <= 0) {
        QTextStream(stderr) << u"the start of the kind "_s << kind << u" failed\n"_s
                            << process.readAllStandardError();
        std::exit(1);
    }
    best.cpu = std::min(best.cpu, cpu);
    best.wall = std::min(best.wall, wall);
}

} // namespace

int main(int argc, char* argv[]) {
    orv::bench::drawOffscreenUnlessTold();
    for (int i = 1; i + 2 < argc; ++i) {
        if (qstrcmp(argv[i], "--start") == 0) {
            return start(QString::fromLocal8Bit(argv[i + 1]), QString::fromLocal8Bit(argv[i + 2]),
                         argc, argv);
        }
    }
    QCoreApplication app(argc, argv);
    const auto [posts, diaries, comments] = orv::bench::TreeStoreSize::of(app.arguments());
    QTemporaryDir temporary;
    const qsizetype folderAt = app.arguments().indexOf(u"--folder"_s);
    const QString folder = folderAt > 0 ? app.arguments().value(folderAt + 1) : temporary.path();
    fill(folder, posts, diaries, comments);

    Start empty, queries, program;
    for (int round = 0; round < 3; ++round) {
        startOnce(u"empty"_s, folder, empty);
        startOnce(u"queries"_s, folder, queries);
        startOnce(u"program"_s, folder, program);
    }
    QTextStream(stdout)
        << u"start to the tree shown, %1 posts and %2 comments (best of three): CPU %3 s, wall "
           u"%4 s\n"_s.arg(posts)
               .arg(comments)
               .arg(program.cpu, 0, 'f', 3)
               .arg(program.wall, 0, 'f', 3)
        << u"an empty window started: CPU %1 s, wall %2 s; with the tree's loading queries: CPU "
           u"%3 s, wall %4 s\n"_s.arg(empty.cpu, 0, 'f', 3)
               .arg(empty.wall, 0, 'f', 3)
               .arg(queries.cpu, 0, 'f', 3)
               .arg(queries.wall, 0, 'f', 3)
        << u"ratios: start to the empty window %1, to the window with the queries %2 (CPU)\n"_s
               .arg(program.cpu / empty.cpu, 0, 'f', 2)
               .arg(program.cpu / queries.cpu, 0, 'f', 2);
    return 0;
}
