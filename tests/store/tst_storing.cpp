// Storing received items: each call is one transaction that stores its items
// and marks their fetch-stack rows together, or undoes both.
#include "StoreCheck.h"
#include "TestFolder.h"
#include "app/OrvError.h"
#include "app/StatusLog.h"
#include "composer/Composer.h"
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

    // "ID:ErrCode" of every stack row of the kind, in stacking order.
    QStringList stackRows(const QString& type) {
        return test::rows(db,
                          u"SELECT ID || ':' || coalesce(ErrCode, '') FROM tmp_MessagesToGet WHERE "
                          u"Type = '"_s +
                              type + u"' ORDER BY rowid"_s);
    }
};

ReceivedPost post(const QString& id, const QString& journal = u"71"_s,
                  const QString& date = u"05.03.2006 14:07:00"_s,
                  const QString& text = u"Текст"_s) {
    return {text, u"Заголовок"_s, date, u"snegir"_s, id, journal};
}

ReceivedComment comment(const QString& id, const QString& date = u"05.03.2006 15:00:00"_s,
                        const QString& text = u"Ну да"_s) {
    return {text, QString(), date, u"Ёжик"_s, u"1001"_s, id, u"71"_s};
}

} // namespace

class StoringTest : public QObject {
    Q_OBJECT

private slots:
    void postsAreStoredAndTheirRowsMarkedTogether() {
        Store s;
        s.stack.add({u"1001"_s, u"1002"_s, u"1003"_s}, FetchStack::Posts);
        s.stack.add({u"1001"_s}, FetchStack::Comments); // the same number, another kind
        const StoreReport report = ReceivedMessages(s.db).savePosts(
            {post(u"1001"_s), post(u"1002"_s, QString()), post(u"1001"_s)});
        QCOMPARE(report.stored, 2); // the second 1001 overwrote the first
        QVERIFY(report.failed.empty());
        QCOMPARE(test::rows(s.db, u"SELECT PostID || New || Sent || Deleted || ' ' || Messagedate "
                                  u"FROM Posts"_s),
                 QStringList({u"1001110 2006-03-05 14:07:00"_s}));
        // 1002 has no diary and is left out, yet received; 1003 did not come.
        QCOMPARE(s.stackRows(FetchStack::Posts),
                 QStringList({u"1001:welldone"_s, u"1002:welldone"_s, u"1003:"_s}));
        QCOMPARE(s.stackRows(FetchStack::Comments), QStringList({u"1001:"_s}));
    }

    void knownPostIsOverwrittenAndUnreadAgain() {
        Store s;
        s.db.execute(u"INSERT INTO Posts (PostID, JournalID, Message, New, Sent, Deleted) "
                     u"VALUES ('1001', '71', 'old', 0, 0, 0), ('1002', '71', 'gone', 0, 1, 1)"_s);
        ReceivedMessages(s.db).savePosts(
            {post(u"1001"_s, u"71"_s, u"05.03.2006 14:07:00"_s, u"new"_s), post(u"1002"_s)});
        QCOMPARE(
            test::rows(s.db, u"SELECT Message || New || Sent FROM Posts WHERE PostID = '1001'"_s),
            QStringList({u"new10"_s}));
        // A deleted row is not matched: the post comes back as a row of its own.
        QCOMPARE(
            test::rows(s.db, u"SELECT Deleted FROM Posts WHERE PostID = '1002' ORDER BY ThisID"_s),
            QStringList({u"1"_s, u"0"_s}));
    }

    void itemThatCannotBeStoredIsSetAsideAndTheRestStored() {
        Store s;
        s.stack.add({u"1"_s, u"2"_s, u"3"_s, u"4"_s}, FetchStack::Posts);
        const StoreReport report =
            ReceivedMessages(s.db).savePosts({post(u"1"_s), post(u"2"_s, u"71"_s, u"вчера"_s),
                                              post(u"3"_s, u"71"_s, QString()), post(u"4"_s)});
        QCOMPARE(report.stored, 2);
        QCOMPARE(report.failed.size(), size_t(2));
        QCOMPARE(report.failed[0], std::pair(u"2"_s, u"Несоответствие типа"_s));
        QCOMPARE(test::rows(s.db, u"SELECT PostID FROM Posts ORDER BY PostID"_s),
                 QStringList({u"1"_s, u"4"_s}));
        QCOMPARE(s.stackRows(FetchStack::Posts),
                 QStringList({u"1:welldone"_s, u"2:error"_s, u"3:error"_s, u"4:welldone"_s}));
        QCOMPARE(s.stack.waiting(FetchStack::Posts), QStringList());
    }

    void commentsFollowTheirRules() {
        Store s;
        s.stack.add({u"5"_s, u"6"_s, u"7"_s}, FetchStack::Comments);
        s.db.execute(u"INSERT INTO Comments (CommentID, Message, New, Sent) "
                     u"VALUES ('7', 'old', 0, 0)"_s);
        const StoreReport report = ReceivedMessages(s.db).saveComments(
            {comment(u"5"_s), comment(u"6"_s, ReceivedMessages::NoDate),
             comment(u"7"_s, u"05.03.2006 16:00:00"_s, u"refreshed"_s)});
        QCOMPARE(report.stored, 2);
        QCOMPARE(test::rows(s.db, u"SELECT CommentID FROM Comments ORDER BY CommentID"_s),
                 QStringList({u"5"_s, u"7"_s}));
        QCOMPARE(test::rows(s.db,
                            u"SELECT Message || New || Sent FROM Comments WHERE CommentID = '7'"_s),
                 QStringList({u"refreshed01"_s})); // read stays read, and is sent now
        QVERIFY(s.stack.waiting(FetchStack::Comments).isEmpty()); // the 1970 one too
    }

    void privateMessagesAreKnownByTextDateAndSender() {
        Store s;
        const auto message = [](const QString& text, const QString& date) {
            return ReceivedPrivate{text, date, u"marta"_s};
        };
        ReceivedMessages(s.db).savePrivates({message(u"Привет"_s, u"01.02.2006 10:00:00"_s),
                                             message(u"Привет"_s, u"01.02.2006 11:00:00"_s),
                                             message(u"старое"_s, ReceivedMessages::NoDate),
                                             message(u"без даты"_s, QString())});
        QCOMPARE(test::rows(s.db, u"SELECT count(*) FROM PrivateMessages"_s), QStringList{u"2"_s});
        s.db.execute(u"UPDATE PrivateMessages SET New = 0"_s);
        ReceivedMessages(s.db).savePrivates({message(u"Привет"_s, u"01.02.2006 10:00:00"_s)});
        QCOMPARE(test::rows(s.db, u"SELECT count(*) || sum(New) FROM PrivateMessages"_s),
                 QStringList({u"21"_s}));
    }

    void serviceDatesIgnoreTheTimeZone() {
        // 31.03.2024 02:30 does not exist in Berlin: clocks jumped from 2:00 to
        // 3:00. A service date is a wall-clock text and stays as it came.
        const QByteArray zone = qgetenv("TZ");
        qputenv("TZ", "Europe/Berlin");
        ::tzset();
        const QString stored = StoredDate::fromServiceText(u"31.03.2024 02:30:00"_s);
        const QString shown = StoredDate::toServiceText(stored);
        const QString short_ = StoredDate::fromServiceText(u"5.3.2006 9:07:00"_s);
        if (zone.isNull()) {
            qunsetenv("TZ");
        } else {
            qputenv("TZ", zone);
        }
        ::tzset();
        QCOMPARE(stored, u"2024-03-31 02:30:00"_s);
        QCOMPARE(shown, u"31.03.2024 02:30:00"_s);
        QCOMPARE(short_, u"2006-03-05 09:07:00"_s);
        QVERIFY_THROWS_EXCEPTION(OrvError, StoredDate::fromServiceText(u"31.02.2024 02:30:00"_s));
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
        QCOMPARE(s.stackRows(FetchStack::Posts), QStringList({u"3:"_s, u"1:"_s}));
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
};

QTEST_GUILESS_MAIN(StoringTest)
#include "tst_storing.moc"
