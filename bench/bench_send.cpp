// Publishing the outbox to the stand-in service on loopback, at the batch sizes
// of a new store, measured beside baselines taken in the same run: the same number of exchanges
// carrying empty query lists, and the same request documents exchanged once more (the service then
// refuses them as repeats) with nothing built or applied. Runs of 1,000 and 10,000 rows show how
// the cost grows. Usage: bench_send [--small | POSTS COMMENTS]   (--small: tiny sizes, for a smoke
// run; POSTS COMMENTS: one run of that size)
#include "AppContext.h"
#include "BenchSupport.h"
#include "exchange/RequestDocuments.h"
#include "exchange/SendQueries.h"
#include "exchange/Transport.h"
#include "store/Outbox.h"
#include "store/SettingsStore.h"
#include "sync/SendRun.h"

#include <QCoreApplication>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextStream>

using namespace Qt::StringLiterals;

namespace {

QTextStream out(stdout);

using orv::bench::peakMemoryMb;
using orv::bench::processCpuSecondsOf;
using orv::bench::seconds;
using orv::bench::SilentPrompts;
using orv::bench::startStandin;

// Posts and comments of a realistic size, each text different (the service
// refuses a repeat), written as the composer writes them.
void fillOutbox(orv::Database& db, int posts, int comments, const QString& run) {
    orv::Outbox outbox(db);
    orv::Database::Transaction t(db);
    const QString body = u"Сегодня был <b>длинный</b> день &amp; «хорошая» погода. "_s.repeated(8);
    for (int i = 0; i < posts; ++i) {
        orv::OutgoingMessage post;
        post.header = u"Пост "_s + run + QString::number(i);
        post.message = body + QString::number(i);
        post.date = u"2006-03-05 09:07:00"_s;
        post.userName = u"demo"_s;
        post.parseUrl = post.subscribe = true;
        outbox.addPost(post);
    }
    for (int i = 0; i < comments; ++i) {
        orv::OutgoingMessage comment;
        comment.kind = orv::MessageRef::Kind::Comment;
        comment.header = u" "_s;
        comment.message = u"Согласен, "_s + run + QString::number(i);
        comment.date = u"2006-03-05 09:08:00"_s;
        comment.userName = u"demo"_s;
        comment.postId = QString::number(1000 + i % 20);
        outbox.addComment(comment);
    }
    t.commit();
}

// False when the run left anything unsent or could not start.
bool sendRun(int posts, int comments) {
    QProcess standin;
    const QString url = startStandin(standin, 20); // its posts are numbered from 1000
    QTemporaryDir dir;
    SilentPrompts prompts;
    QSettings userStore(dir.filePath(u"user.ini"_s), QSettings::IniFormat);
    orv::AppContext ctx(orv::WorkingFolder(dir.path()), prompts, userStore);
    orv::bench::connectTo(ctx, url);
    fillOutbox(ctx.db, posts, comments, u"a"_s);
    // The batch sizes a new store has.
    const auto batchOf = [&](orv::MessageRef::Kind kind) {
        return size_t((kind == orv::MessageRef::Kind::Post
                           ? ctx.settings.PostsToSendPerOneSession
                           : ctx.settings.CommentsToSendPerOneSession)
                          .toInt());
    };

    // The queries alone, built for every batch as the run builds them.
    QStringList documents;
    const double building = seconds([&] {
        orv::Outbox outbox(ctx.db);
        for (const auto kind : {orv::MessageRef::Kind::Post, orv::MessageRef::Kind::Comment}) {
            const std::vector<qint64> keys = outbox.unsentKeys(kind);
            const size_t size = batchOf(kind);
            for (size_t start = 0; start < keys.size(); start += size) {
                const std::vector<qint64> batch(keys.begin() + qsizetype(start),
                                                keys.begin() +
                                                    qsizetype(std::min(start + size, keys.size())));
                documents.append(
                    orv::SendQueries::BuildSendPostQuery(ctx.settings, outbox.find(kind, batch)));
            }
        }
    });

    const long memoryBefore = peakMemoryMb();
    double runCpu = 0;
    const double run =
        seconds([&] { runCpu = processCpuSecondsOf([&] { orv::SendRun(ctx.session()).run(); }); });
    const long memoryAfter = peakMemoryMb();
    const qsizetype unsent = orv::Outbox(ctx.db).unsentCount(orv::MessageRef::Kind::Post) +
                             orv::Outbox(ctx.db).unsentCount(orv::MessageRef::Kind::Comment);

    // Baseline: as many exchanges, each with an empty query list.
    const int exchanges = int(documents.size());
    orv::Transport transport(ctx.session());
    const QString empty = orv::RequestDocuments::envelope(ctx.settings, {});
    double baselineCpu = 0;
    const double baseline = seconds([&] {
        baselineCpu = processCpuSecondsOf([&] {
            for (int i = 0; i < exchanges; ++i) {
                transport.exchange(empty);
            }
        });
    });
    const double resent = seconds([&] {
        for (const QString& document : documents) {
            transport.exchange(document);
        }
    });
    const int rows = posts + comments;
    out << u"send run: %1 posts, %2 comments (%3 exchanges) in %4 s, %5 ms a row (peak memory "
           u"%6 MB, %7 MB before; %8 left unsent, %9 failures); empty exchanges: %10 s, "
           u"ratio %11; the same requests again: %12 s, ratio %13; building the queries alone: "
           u"%14 s\n"_s.arg(posts)
               .arg(comments)
               .arg(exchanges)
               .arg(run, 0, 'f', 2)
               .arg(run * 1000 / rows, 0, 'f', 3)
               .arg(memoryAfter)
               .arg(memoryBefore)
               .arg(unsent)
               .arg(ctx.log.failureCount())
               .arg(baseline, 0, 'f', 2)
               .arg(run / baseline, 0, 'f', 2)
               .arg(resent, 0, 'f', 2)
               .arg(run / resent, 0, 'f', 2)
               .arg(building, 0, 'f', 2);
    out << u"  this client's CPU alone (the stand-in's work left out): send %1 s, empty exchanges "
           u"%2 s, ratio %3\n"_s.arg(runCpu, 0, 'f', 2)
               .arg(baselineCpu, 0, 'f', 2)
               .arg(runCpu / baselineCpu, 0, 'f', 2);
    out.flush();
    standin.kill();
    standin.waitForFinished();
    return !url.isEmpty() && unsent == 0 && ctx.log.failureCount() == 0;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.contains(u"--small"_s)) {
        return sendRun(20, 60) ? 0 : 1;
    }
    if (arguments.size() == 3) {
        return sendRun(arguments[1].toInt(), arguments[2].toInt()) ? 0 : 1;
    }
    const bool published = sendRun(1000, 5000) && // the outbox of the goal
                           sendRun(200, 800) &&   // 1,000 rows
                           sendRun(2000, 8000);   // 10,000 rows
    return published ? 0 : 1;
}
