// Full-text search in a large store, beside baselines from the same run:
//  - storing received rows with their full-text entries, against the same
//    rows stored without any index work (no text prepared, nothing written to
//    the full-text tables), at the run's batch sizes (10 posts, 25 comments a
//    transaction) and at 1,000 rows a transaction;
//  - a one-word query's first 100 hits, against a LIKE '%word%' scan of the
//    same rows.
// Usage: bench_search [--small]   (--small: tiny sizes, for a smoke run)
#include "BenchSupport.h"
#include "store/Database.h"
#include "store/ReceivedMessages.h"
#include "store/SearchIndex.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextStream>

using namespace Qt::StringLiterals;
using orv::bench::peakMemoryMb;
using orv::bench::seconds;

namespace {

QTextStream out(stdout);

const QStringList kWords = {
    u"день"_s,   u"город"_s, u"книга"_s, u"кот"_s,    u"дождь"_s, u"музыка"_s, u"работа"_s,
    u"друг"_s,   u"вечер"_s, u"море"_s,  u"дорога"_s, u"снег"_s,  u"окно"_s,   u"чай"_s,
    u"письмо"_s, u"сон"_s,   u"лес"_s,   u"песня"_s,  u"поезд"_s, u"мастер"_s,
};

// A body of about thirty words with a little markup, as the service sends them.
QString body(QRandomGenerator& random) {
    QString text;
    for (int i = 0; i < 30; ++i) {
        const QString& word = kWords[random.bounded(int(kWords.size()))];
        text += i % 11 == 5 ? QString(u"<b>"_s + word + u"</b> "_s) : QString(word + u' ');
    }
    return text + u"&laquo;конец&raquo;"_s;
}

// The i-th post and comment of the data set, the same at every call.
orv::ReceivedPost postAt(int i) {
    QRandomGenerator random{quint32(i)};
    return {body(random),
            u"Заголовок "_s + QString::number(i),
            u"05.03.2006 14:07:00"_s,
            u"user"_s + QString::number(i % 500),
            u"p"_s + QString::number(i),
            u"71"_s};
}

orv::ReceivedComment commentAt(int i, int posts) {
    QRandomGenerator random{quint32(i) + 0x80000000u};
    return {body(random),
            QString(),
            u"05.03.2006 15:00:00"_s,
            u"user"_s + QString::number(i % 700),
            u"p"_s + QString::number(i % std::max(posts, 1)),
            u"pc"_s + QString::number(i),
            u"71"_s};
}

struct Span {
    int from, to, batch;
};

// Stores the posts and comments of the spans through one store, a batch a
// transaction as receive runs do: into the indexed store with the index
// written, and into the plain one without any index work, each batch into
// both in turn so that both share the machine's moods. Gives the seconds of
// each.
std::pair<double, double> store(orv::Database& indexed, orv::Database& plain, int posts,
                                Span postSpan, Span commentSpan) {
    orv::ReceivedMessages withIndex(indexed);
    orv::ReceivedMessages without(plain, {}, orv::ReceivedMessages::Search::Off);
    double with = 0;
    double none = 0;
    for (int start = postSpan.from; start < postSpan.to; start += postSpan.batch) {
        std::vector<orv::ReceivedPost> batch;
        for (int i = start; i < std::min(start + postSpan.batch, postSpan.to); ++i) {
            batch.push_back(postAt(i));
        }
        with += seconds([&] { withIndex.savePosts(batch); });
        none += seconds([&] { without.savePosts(batch); });
    }
    for (int start = commentSpan.from; start < commentSpan.to; start += commentSpan.batch) {
        std::vector<orv::ReceivedComment> batch;
        for (int i = start; i < std::min(start + commentSpan.batch, commentSpan.to); ++i) {
            batch.push_back(commentAt(i, posts));
        }
        with += seconds([&] { withIndex.saveComments(batch); });
        none += seconds([&] { without.saveComments(batch); });
    }
    return {with, none};
}

void run(int posts, int comments) {
    QTemporaryDir indexedDir, plainDir;
    orv::Database indexed(indexedDir.filePath(u"database.mdb"_s));
    indexed.open();
    orv::Database plain(plainDir.filePath(u"database.mdb"_s));
    plain.open();
    // A tenth of the rows at the run's batch sizes, the rest 1,000 a transaction.
    const int tenthPosts = posts / 10;
    const int tenthComments = comments / 10;
    const auto [withSmall, withoutSmall] =
        store(indexed, plain, posts, {0, tenthPosts, 10}, {0, tenthComments, 25});
    const auto [withLarge, withoutLarge] =
        store(indexed, plain, posts, {tenthPosts, posts, 1000}, {tenthComments, comments, 1000});
    out << u"storing %1 posts and %2 comments 10 and 25 a transaction: with the index %3 s, "
           u"without any index work %4 s, ratio %5\n"_s.arg(posts / 10)
               .arg(comments / 10)
               .arg(withSmall, 0, 'f', 2)
               .arg(withoutSmall, 0, 'f', 2)
               .arg(withSmall / withoutSmall, 0, 'f', 2)
        << u"storing %1 posts and %2 comments 1,000 a transaction: with the index %3 s, "
           u"without any index work %4 s, ratio %5\n"_s.arg(posts - posts / 10)
               .arg(comments - comments / 10)
               .arg(withLarge, 0, 'f', 2)
               .arg(withoutLarge, 0, 'f', 2)
               .arg(withLarge / withoutLarge, 0, 'f', 2);

    orv::SearchIndex index(indexed);
    size_t found = 0;
    const double query = seconds([&] { found = index.search(u"мастер"_s, 100).size(); });
    qint64 scanned = 0;
    const double like = seconds([&] {
        for (const QString& table : {u"Posts"_s, u"Comments"_s}) {
            QSqlQuery q = indexed.prepare(u"SELECT count(*) FROM "_s + table +
                                          u" WHERE Message LIKE '%мастер%'"_s);
            orv::Database::exec(q);
            scanned += q.next() ? q.value(0).toLongLong() : 0;
        }
    });
    out << u"search \"мастер\": first %1 hits in %2 ms; LIKE scan of the same rows (%3 rows "
           u"match) %4 ms, ratio %5; peak memory %6 MB\n"_s.arg(found)
               .arg(query * 1000, 0, 'f', 1)
               .arg(scanned)
               .arg(like * 1000, 0, 'f', 1)
               .arg(query / like, 0, 'f', 3)
               .arg(peakMemoryMb());
    out.flush();
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (app.arguments().contains(u"--small"_s)) {
        run(1000, 5000);
        return 0;
    }
    run(100000, 1000000);
    return 0;
}
