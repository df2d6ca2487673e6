// Storing received items: each call is one transaction that stores its items
// and marks their fetch-stack rows together, or undoes both.
#include "StoreCheck.h"
#include "TestData.h"
#include "TestFolder.h"
#include "app/OrvError.h"
#include "app/StatusLog.h"
#include "app/WorkingFolder.h"
#include "composer/Composer.h"
#include "composer/SmileyPage.h"
#include "store/Database.h"
#include "store/FetchStack.h"
#include "store/ReceivedMessages.h"
#include "store/Settings.h"
#include "store/StoredDate.h"
#include "tree/NodeKey.h"

#include <QtTest>
#include <ctime>

using namespace Qt::StringLiterals;
using namespace orv;

namespace {

struct Store : test::StoreFolder {
    FetchStack stack{db};
};

} // namespace

class StoringTest : public QObject {
    Q_OBJECT

private slots:
    // Items stored into a store holding some rows and fetch-stack rows: what
    // the call reports, the rows of the kind and the stack afterwards.
    void receivedItems_data() {
        test::addRows(u"storing/cases.tsv"_s, {"before", "stacked", "kind", "name"});
    }

    void receivedItems() {
        const auto [before, stacked, kind, name] =
            test::cells({"before", "stacked", "kind", "name"});
        Store s;
        for (const QString& statement : before.split(u"; "_s, Qt::SkipEmptyParts)) {
            s.db.execute(statement);
        }
        for (const QString& row : stacked.split(u' ', Qt::SkipEmptyParts)) {
            s.stack.add({row.section(u':', 1)}, row.section(u':', 0, 0));
        }
        std::vector<QStringList> items;
        for (const QString& line : test::dataLines(u"storing/"_s + name + u".items"_s)) {
            items.push_back(line.split(u'\t'));
        }
        ReceivedMessages store(s.db, u"me"_s); // what "me" wrote is stored read
        StoreReport report;
        QString table;
        if (kind == u"posts"_s) {
            std::vector<ReceivedPost> posts;
            for (const QStringList& i : items) {
                posts.push_back({i[0], i[1], i[2], i[3], i[4], i[5]});
            }
            report = store.savePosts(posts);
            table = u"PostID, Message, Messagedate, New, Sent, Deleted FROM Posts"_s;
        } else if (kind == u"comments"_s) {
            std::vector<ReceivedComment> comments;
            for (const QStringList& i : items) {
                comments.push_back({i[0], i[1], i[2], i[3], i[4], i[5], i[6]});
            }
            report = store.saveComments(comments);
            table = u"CommentID, Message, Messagedate, New, Sent FROM Comments"_s;
        } else {
            std::vector<ReceivedPrivate> messages;
            for (const QStringList& i : items) {
                messages.push_back({i[0], i[1], i[2]});
            }
            report = store.savePrivates(messages);
            table = u"uName, Message, Messagedate, New FROM PrivateMessages"_s;
        }
        QStringList got = {u"stored "_s + QString::number(report.stored)};
        for (const auto& [item, error] : report.failed) {
            got.append(u"failed "_s + item + u": "_s + error);
        }
        got += test::rows(s.db, u"SELECT "_s + table + u" ORDER BY rowid"_s);
        got +=
            test::rows(s.db, u"SELECT Type, ID, ErrCode FROM tmp_MessagesToGet ORDER BY rowid"_s);
        QCOMPARE(got, test::dataLines(u"storing/"_s + name + u".txt"_s));
    }

    // A service date is a wall-clock text and stays as it came, also where
    // the local clocks jumped: 31.03.2024 02:30 does not exist in Berlin.
    void serviceDates_data() { test::addRows(u"storing/dates.tsv"_s, {"text", "stored"}); }

    void serviceDates() {
        const auto [text, stored] = test::cells({"text", "stored"});
        qputenv("TZ", "Europe/Berlin");
        ::tzset();
        if (stored.isEmpty()) {
            QVERIFY_THROWS_EXCEPTION(OrvError, StoredDate::fromServiceText(text));
            return;
        }
        QCOMPARE(StoredDate::fromServiceText(text), stored);
        QCOMPARE(StoredDate::fromServiceText(StoredDate::toServiceText(stored)), stored);
    }

    // Entries held for a group are written once for all its calls: those of
    // a call that failed go with its rows, and none are held after the hold.
    void heldSearchEntriesFollowTheirRows() {
        Store s;
        ReceivedMessages store(s.db);
        const auto post = [](const QString& id) {
            return ReceivedPost{u"мастер"_s, QString(), u"05.03.2006 10:00:00"_s,
                                u"anna"_s,   id,        u"7"_s};
        };
        s.db.execute(u"CREATE TRIGGER full_disk BEFORE INSERT ON Posts WHEN NEW.PostID = '4' "
                     u"BEGIN SELECT RAISE(ABORT, 'database or disk is full'); END"_s);
        {
            Database::Transaction group(s.db, Database::Transaction::OnFailure::RollBack);
            ReceivedMessages::IndexHold hold(store);
            store.savePosts({post(u"1"_s), post(u"2"_s)});
            QVERIFY_THROWS_EXCEPTION(OrvError, store.savePosts({post(u"3"_s), post(u"4"_s)}));
            QCOMPARE(test::rows(s.db, u"SELECT count(*) FROM PostsText"_s), {u"0"_s});
            hold.write();
            group.commit();
        }
        QCOMPARE(test::indexDifference(s.db), QString());
        store.savePosts({post(u"5"_s)});
        QCOMPARE(test::rows(s.db, u"SELECT count(*) FROM PostsText"_s), {u"3"_s});
    }

    void stackHoldsEachWaitingItemOnce() {
        Store s;
        s.stack.add({u"1"_s, u"2"_s, u"1"_s}, FetchStack::Posts);
        s.stack.add({u"2"_s, u"3"_s}, FetchStack::Posts);
        QCOMPARE(s.stack.waiting(FetchStack::Posts), QStringList({u"1"_s, u"2"_s, u"3"_s}));
        s.stack.markDone({u"1"_s}, FetchStack::Posts);
        s.stack.markFailed(u"2"_s, FetchStack::Posts);
        s.stack.add({u"1"_s}, FetchStack::Posts); // received before, new again
        QCOMPARE(s.stack.waitingCount(FetchStack::Posts), 2);

        s.stack.deleteFinished(); // at start-up: what waits, stays
        QCOMPARE(test::rows(s.db, u"SELECT ID, ErrCode FROM tmp_MessagesToGet ORDER BY rowid"_s),
                 QStringList({u"3|"_s, u"1|"_s}));
    }

    // A post written offline keeps its options through an edit: the editor
    // shows them as stored and saves them back, with the new title and text.
    void editedPostKeepsItsOptions() {
        Store s;
        Outbox outbox(s.db);
        StatusLog log(s.dir.file(u"log.txt"_s));
        Settings settings;
        settings.UserName = u"me"_s;
        Draft draft;
        draft.header = u"Черновик"_s;
        draft.closed = draft.noComment = draft.subscribe = true;
        QCOMPARE(Composer::save(outbox, settings, Options(), draft), std::nullopt);
        const QString key = NodeKey::post(u"tmp1"_s, 1);
        const auto shown = Composer::DefineEditPostDetails(outbox, settings, log, key);
        QVERIFY(shown && shown->privatePost && shown->noComment && shown->subscribe);

        Draft edit;
        edit.messageType = u"EditMessage-"_s + key;
        edit.header = u"Исправлено"_s;
        edit.closed = shown->privatePost;
        edit.noComment = shown->noComment;
        edit.subscribe = shown->subscribe;
        QCOMPARE(Composer::save(outbox, settings, Options(), edit), std::nullopt);
        const auto stored = outbox.find(MessageRef::Kind::Post, 1);
        QCOMPARE(stored->header, u"Исправлено"_s);
        QVERIFY(stored->privatePost && stored->noComment && stored->subscribe && !stored->sent);
        QVERIFY(log.lines().isEmpty());
    }

    // The smiley picker's page, from the catalogue in ID order: each row's line
    // and an empty line after it; codes and addresses stay one attribute each.
    void smileyPageFromTheCatalogue() {
        Store s;
        const WorkingFolder folder = s.dir.folder();
        folder.ensureTmpFolder();
        QVERIFY(!SmileyPage::write(folder, s.db)); // nothing to show: nothing written
        s.db.execute(u"INSERT INTO Smiles (ID, Smile, SmileURL) VALUES "
                     u"(5, '<3', 'heart.gif'), (2, 'Ёж', 'http://kordenet.ru/smiles/ёж.gif'), "
                     u"(1, ':-)', 'http://kordenet.ru/smiles/1.gif'), "
                     u"(3, ':''(', 'http://x/cry.gif?a=1&b=2'), (9, '\U0001F642', 'smile.gif')"_s);
        QVERIFY(SmileyPage::write(folder, s.db));
        QCOMPARE(s.dir.read(u"tmp/smile.htm"_s), test::dataBytes(u"composer/smile.htm"_s));
    }
};

QTEST_GUILESS_MAIN(StoringTest)
#include "tst_storing.moc"
