// Full-text search in a large store, beside baselines from the same run:
//  - storing received rows with their full-text entries, against the same
//    rows stored with plain tables in place of the full-text ones (the text is
//    prepared alike, so the figure is the cost of the full-text tables);
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

// Stores the rows a batch at a time, as receive runs do.
double store(orv::Database& db, int posts, int comments, const QString& prefix) {
    QRandomGenerator random(2006);
    return seconds([&] {
        std::vector<orv::ReceivedPost> postBatch;
        for (int i = 0; i < posts; ++i) {
            postBatch.push_back({body(random), u"Заголовок "_s + QString::number(i),
                                 u"05.03.2006 14:07:00"_s, u"user"_s + QString::number(i % 500),
                                 prefix + QString::number(i), u"71"_s});
            if (postBatch.size() == 1000 || i + 1 == posts) {
                orv::ReceivedMessages(db).savePosts(postBatch);
                postBatch.clear();
            }
        }
        std::vector<orv::ReceivedComment> commentBatch;
        for (int i = 0; i < comments; ++i) {
            commentBatch.push_back({body(random), QString(), u"05.03.2006 15:00:00"_s,
                                    u"user"_s + QString::number(i % 700),
                                    prefix + QString::number(i % std::max(posts, 1)),
                                    prefix + u'c' + QString::number(i), u"71"_s});
            if (commentBatch.size() == 1000 || i + 1 == comments) {
                orv::ReceivedMessages(db).saveComments(commentBatch);
                commentBatch.clear();
            }
        }
    });
}

void dropIndex(orv::Database& db) {
    for (const QString& name :
         {u"Posts_Unindex"_s, u"Comments_Unindex"_s, u"PrivateMessages_Unindex"_s}) {
        db.execute(u"DROP TRIGGER "_s + name);
    }
    // Without their tables, the writes of the index fail: an empty stand-in
    // table of the same name keeps them cheap instead.
    for (const QString& table : {u"PostsText"_s, u"CommentsText"_s, u"PrivatesText"_s}) {
        db.execute(u"DROP TABLE "_s + table);
        db.execute(u"CREATE TABLE "_s + table + u" (Author, Title, Body)"_s);
    }
}

void run(int posts, int comments) {
    QTemporaryDir indexedDir, plainDir;
    orv::Database indexed(indexedDir.filePath(u"database.mdb"_s));
    indexed.open();
    orv::Database plain(plainDir.filePath(u"database.mdb"_s));
    plain.open();
    dropIndex(plain);
    const double withIndex = store(indexed, posts, comments, u"p"_s);
    const double withoutIndex = store(plain, posts, comments, u"p"_s);
    out << u"storing %1 posts and %2 comments: with the index %3 s, without %4 s, ratio %5\n"_s
               .arg(posts)
               .arg(comments)
               .arg(withIndex, 0, 'f', 2)
               .arg(withoutIndex, 0, 'f', 2)
               .arg(withIndex / withoutIndex, 0, 'f', 2);

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
