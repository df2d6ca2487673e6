// Receiving, measured beside baselines taken in the same run:
//  - storing a batch of received rows into a large store, against plain
//    prepared INSERTs of the same rows in one transaction;
//  - storing received rows as a run stores them (10 posts or 25 comments a
//    call, 500 rows a transaction) through one store, against plain prepared
//    INSERTs of the same rows in the same transactions;
//  - a whole receive run from the stand-in service on loopback, against the
//    same batches fetched without decoding or storing.
// Usage: bench_receive [--small] [--batches]   (--small: tiny sizes, for a smoke
// run; --batches: only storing at the run's batch sizes, for a profiler)
#include "AppContext.h"
#include "BenchSupport.h"
#include "app/TextFiles.h"
#include "exchange/Transport.h"
#include "store/AddressBook.h"
#include "store/FetchStack.h"
#include "store/ReceivedMessages.h"
#include "store/SettingsStore.h"
#include "store/Statement.h"
#include "sync/Fetcher.h"
#include "sync/ReceiveRun.h"

#include <QCoreApplication>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextStream>
#include <functional>

using namespace Qt::StringLiterals;

namespace {

QTextStream out(stdout);

using orv::bench::peakMemoryMb;
using orv::bench::seconds;
using orv::bench::SilentPrompts;
using orv::bench::startStandin;

void fillPosts(orv::Database& db, int count, const QString& prefix) {
    orv::Database::Transaction t(db);
    QSqlQuery insert = db.prepare(u"INSERT INTO Posts (PostID, JournalID, uName, Header, Message, "
                                  u"Messagedate, New, Sent, Deleted, AddDate) VALUES "
                                  u"(?, '71', 'snegir', 'Заголовок', 'Текст поста', "
                                  u"'2006-03-05 14:07:00', 1, 1, 0, '2006-03-06 09:00:00')"_s);
    for (int i = 0; i < count; ++i) {
        insert.bindValue(0, QString(prefix + QString::number(i)));
        orv::Database::exec(insert);
    }
    t.commit();
}

void fillComments(orv::Database& db, int count, const QString& prefix) {
    orv::Database::Transaction t(db);
    QSqlQuery insert = db.prepare(
        u"INSERT INTO Comments (CommentID, PostID, JournalID, uName, Header, Message, "
        u"Messagedate, New, Sent, Deleted, AddDate) VALUES (?, ?, '71', 'Ёжик', '', 'Ну да', "
        u"'2006-03-05 15:00:00', 1, 1, 0, '2006-03-06 09:00:00')"_s);
    for (int i = 0; i < count; ++i) {
        insert.bindValue(0, QString(prefix + QString::number(i)));
        insert.bindValue(1, QString::number(i / 10));
        orv::Database::exec(insert);
    }
    t.commit();
}

void storing(int storedPosts, int batchPosts, int storedComments, int batchComments) {
    QTemporaryDir dir;
    orv::Database db(dir.filePath(u"database.mdb"_s));
    db.open();
    fillPosts(db, storedPosts, u"p"_s);
    fillComments(db, storedComments, u"c"_s);

    std::vector<orv::ReceivedPost> posts;
    for (int i = 0; i < batchPosts; ++i) {
        posts.push_back({u"Текст поста"_s, u"Заголовок"_s, u"05.03.2006 14:07:00"_s, u"snegir"_s,
                         u"n"_s + QString::number(i), u"71"_s});
    }
    std::vector<orv::ReceivedComment> comments;
    for (int i = 0; i < batchComments; ++i) {
        comments.push_back({u"Ну да"_s, QString(), u"05.03.2006 15:00:00"_s, u"Ёжик"_s,
                            QString::number(i / 10), u"m"_s + QString::number(i), u"71"_s});
    }
    // As in a run, the items wait on the fetch stack and are marked as stored.
    QStringList postIds, commentIds;
    for (const auto& p : posts) {
        postIds.append(p.postId);
    }
    for (const auto& c : comments) {
        commentIds.append(c.commentId);
    }
    orv::FetchStack(db).add(postIds, orv::FetchStack::Posts);
    orv::FetchStack(db).add(commentIds, orv::FetchStack::Comments);
    const double savePosts = seconds([&] { orv::ReceivedMessages(db).savePosts(posts); });
    const double plainPosts = seconds([&] { fillPosts(db, batchPosts, u"q"_s); });
    const double saveComments = seconds([&] { orv::ReceivedMessages(db).saveComments(comments); });
    const double plainComments = seconds([&] { fillComments(db, batchComments, u"d"_s); });

    out << u"store %1 posts: %2 received posts at %3 rows/s, plain INSERT %4 rows/s, ratio %5\n"_s
               .arg(storedPosts)
               .arg(batchPosts)
               .arg(batchPosts / savePosts, 0, 'f', 0)
               .arg(batchPosts / plainPosts, 0, 'f', 0)
               .arg(savePosts / plainPosts, 0, 'f', 2);
    out << u"store %1 comments: %2 received comments at %3 rows/s, plain INSERT %4 rows/s, "
           u"ratio %5\n"_s.arg(storedComments)
               .arg(batchComments)
               .arg(batchComments / saveComments, 0, 'f', 0)
               .arg(batchComments / plainComments, 0, 'f', 0)
               .arg(saveComments / plainComments, 0, 'f', 2);
    out.flush();
}

// Plain prepared INSERTs of the rows a received batch holds, all values bound
// on the engine's own handle as the store binds them, in one transaction: what
// storing a batch costs at the least.
struct PlainInsert {
    explicit PlainInsert(orv::Database& db, const QString& table, const QStringList& columns)
        : db(db)
        , insert(db, u"INSERT INTO "_s + table + u" ("_s + columns.join(u", "_s) + u") VALUES ("_s +
                         QStringList(columns.size(), u"?"_s).join(u", "_s) + u')') {}

    void batch(const std::vector<QVariantList>& rows) {
        orv::Database::Transaction t(db);
        for (const QVariantList& row : rows) {
            for (int i = 0; i < row.size(); ++i) {
                insert.bind(i, row[i]);
            }
            insert.exec();
        }
        t.commit();
    }

    orv::Database& db;
    orv::Statement insert;
};

// Received rows stored the way a run stores them: batchSize a call through one
// store, the calls of Fetcher::GroupItems rows in one transaction, their
// search entries written after them all. Each group is
// timed beside plain INSERTs of the same rows in one transaction timed right
// after it, so that both arms share the machine's moods.
template <typename Item>
void storingInBatches(orv::Database& db, orv::ReceivedMessages& received, const char* what,
                      const std::vector<Item>& items, int batchSize,
                      const std::function<void(const std::vector<Item>&)>& store,
                      PlainInsert& plain,
                      const std::function<QVariantList(const Item&)>& plainRow) {
    const size_t groupSize = size_t(orv::Fetcher::GroupItems);
    double stored = 0;
    double inserted = 0;
    for (size_t group = 0; group < items.size(); group += groupSize) {
        const size_t groupEnd = std::min(group + groupSize, items.size());
        std::vector<QVariantList> rows;
        for (size_t i = group; i < groupEnd; ++i) {
            rows.push_back(plainRow(items[i]));
        }
        stored += seconds([&] {
            orv::Database::Transaction transaction(db,
                                                   orv::Database::Transaction::OnFailure::RollBack);
            orv::ReceivedMessages::IndexHold hold(received);
            for (size_t start = group; start < groupEnd; start += size_t(batchSize)) {
                store(std::vector<Item>(
                    items.begin() + qsizetype(start),
                    items.begin() + qsizetype(std::min(start + size_t(batchSize), groupEnd))));
            }
            hold.write();
            transaction.commit();
        });
        inserted += seconds([&] { plain.batch(rows); });
    }
    out << u"store %1 %2 a call, %3 a transaction: %4 rows/s, plain INSERT %5 rows/s, "
           u"ratio %6\n"_s.arg(QString::fromLatin1(what))
               .arg(batchSize)
               .arg(groupSize)
               .arg(double(items.size()) / stored, 0, 'f', 0)
               .arg(double(items.size()) / inserted, 0, 'f', 0)
               .arg(stored / inserted, 0, 'f', 2);
    out.flush();
}

// The same received rows as storing() makes, stored as a run stores them.
void storingAtRunBatches(int batchPosts, int batchComments) {
    QTemporaryDir dir;
    orv::Database db(dir.filePath(u"database.mdb"_s));
    db.open();
    std::vector<orv::ReceivedPost> posts;
    QStringList postIds, commentIds;
    for (int i = 0; i < batchPosts; ++i) {
        posts.push_back({u"Текст поста "_s + QString::number(i), u"Заголовок"_s,
                         u"05.03.2006 14:07:00"_s, u"snegir"_s, u"n"_s + QString::number(i),
                         u"71"_s});
        postIds.append(posts.back().postId);
    }
    std::vector<orv::ReceivedComment> comments;
    for (int i = 0; i < batchComments; ++i) {
        comments.push_back({u"Ну да "_s + QString::number(i), QString(), u"05.03.2006 15:00:00"_s,
                            u"Ёжик"_s, QString::number(i / 10), u"m"_s + QString::number(i),
                            u"71"_s});
        commentIds.append(comments.back().commentId);
    }
    orv::FetchStack(db).add(postIds, orv::FetchStack::Posts);
    orv::FetchStack(db).add(commentIds, orv::FetchStack::Comments);
    orv::ReceivedMessages store(db, u"demo"_s);
    PlainInsert plainPosts(db, u"Posts"_s,
                           {u"Message"_s, u"Header"_s, u"Messagedate"_s, u"uName"_s, u"PostID"_s,
                            u"JournalID"_s, u"AddDate"_s});
    storingInBatches<orv::ReceivedPost>(
        db, store, "posts", posts, 10, [&](const auto& batch) { store.savePosts(batch); },
        plainPosts,
        [](const orv::ReceivedPost& p) {
            return QVariantList{p.message,
                                p.header,
                                u"2006-03-05 14:07:00"_s,
                                p.userName,
                                QString(u'q' + p.postId),
                                p.journalId,
                                u"2006-03-06 09:00:00"_s};
        });
    PlainInsert plainComments(db, u"Comments"_s,
                              {u"Message"_s, u"Header"_s, u"Messagedate"_s, u"uName"_s, u"PostID"_s,
                               u"CommentID"_s, u"JournalID"_s, u"AddDate"_s});
    storingInBatches<orv::ReceivedComment>(
        db, store, "comments", comments, 25, [&](const auto& batch) { store.saveComments(batch); },
        plainComments,
        [](const orv::ReceivedComment& c) {
            return QVariantList{c.message,
                                c.header,
                                u"2006-03-05 15:00:00"_s,
                                c.userName,
                                c.postId,
                                QString(u'd' + c.commentId),
                                c.journalId,
                                u"2006-03-06 09:00:00"_s};
        });
}

// The friends lists: a report of many names applied to the address book,
// against plain INSERTs of the same rows.
void relations(int count) {
    QTemporaryDir dir;
    orv::Database db(dir.filePath(u"database.mdb"_s));
    db.open();
    std::vector<orv::Relation> names;
    for (int i = 0; i < count; ++i) {
        names.push_back({u"user"_s + QString::number(i),
                         i % 2 ? orv::AddressBook::Reader : orv::AddressBook::Buddy});
    }
    const double first = seconds([&] { orv::AddressBook(db).apply(names); });
    const double again = seconds([&] { orv::AddressBook(db).apply(names); });
    const double plain = seconds([&] {
        orv::Database::Transaction t(db);
        QSqlQuery insert = db.prepare(u"INSERT INTO AddressBook (Nick, Status) VALUES (?, ?)"_s);
        for (const auto& [nick, status] : names) {
            insert.bindValue(0, nick);
            insert.bindValue(1, status);
            orv::Database::exec(insert);
        }
        t.commit();
    });
    out << u"relations %1: first report %2 s, the same again %3 s, plain INSERT %4 s, "
           u"ratios %5 and %6\n"_s.arg(count)
               .arg(first, 0, 'f', 2)
               .arg(again, 0, 'f', 2)
               .arg(plain, 0, 'f', 2)
               .arg(first / plain, 0, 'f', 2)
               .arg(again / plain, 0, 'f', 2);
    out.flush();
}

void endToEnd(int posts) {
    QProcess standin;
    const QString url = startStandin(standin, posts);
    QTemporaryDir dir;
    SilentPrompts prompts;
    QSettings userStore(dir.filePath(u"user.ini"_s), QSettings::IniFormat);
    orv::AppContext ctx(orv::WorkingFolder(dir.path()), prompts, userStore);
    orv::bench::connectTo(ctx, url);
    ctx.settings.MaxPost = u"1000000"_s;

    const long memoryBefore = peakMemoryMb();
    const double run = seconds([&] { orv::ReceiveRun(ctx.session()).run(); });
    const long memoryAfter = peakMemoryMb();

    // Baseline: the same batches fetched again, with nothing decoded or stored.
    auto ids = [&](const QString& sql) {
        QSqlQuery q = ctx.db.prepare(sql);
        orv::Database::exec(q);
        QStringList list;
        while (q.next()) {
            list.append(q.value(0).toString());
        }
        return list;
    };
    const QStringList postIds = ids(u"SELECT PostID FROM Posts"_s);
    const QStringList commentIds = ids(u"SELECT CommentID FROM Comments"_s);
    orv::Transport transport(ctx.session());
    const double transfer = seconds([&] {
        for (const auto& [list, type, batch] :
             {std::tuple(postIds, orv::FetchStack::Posts, 10),
              std::tuple(commentIds, orv::FetchStack::Comments, 25)}) {
            for (qsizetype start = 0; start < list.size(); start += batch) {
                transport.exchange(
                    orv::Fetcher::BuildIDquery(ctx.settings, list.mid(start, batch), type));
            }
        }
    });
    out << u"receive run: %1 posts, %2 comments in %3 s (peak memory %4 MB, %5 MB before the "
           u"run); the same batches fetched without storing: %6 s, ratio %7\n"_s.arg(postIds.size())
               .arg(commentIds.size())
               .arg(run, 0, 'f', 2)
               .arg(memoryAfter)
               .arg(memoryBefore)
               .arg(transfer, 0, 'f', 2)
               .arg(run / transfer, 0, 'f', 2);
    out.flush();
    standin.kill();
    standin.waitForFinished();
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const bool small = app.arguments().contains(u"--small"_s);
    if (app.arguments().contains(u"--batches"_s)) {
        storingAtRunBatches(small ? 100 : 2000, small ? 500 : 20000);
        return 0;
    }
    if (small) {
        storing(1000, 100, 5000, 500);
        storingAtRunBatches(100, 500);
        relations(100);
        endToEnd(20);
        return 0;
    }
    storing(1000, 1000, 5000, 5000);
    storing(100000, 1000, 500000, 5000);
    storingAtRunBatches(2000, 20000);
    relations(200000);
    endToEnd(2000);
    return 0;
}
