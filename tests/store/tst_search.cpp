#include "StoreCheck.h"
#include "TestFolder.h"
#include "app/OrvError.h"
#include "store/Database.h"
#include "store/Housekeeping.h"
#include "store/MessageRemoval.h"
#include "store/Outbox.h"
#include "store/ReceivedMessages.h"
#include "store/SearchIndex.h"

#include <QtTest>

using namespace Qt::StringLiterals;
using namespace orv;
using Kind = MessageRef::Kind;

namespace {

struct Store {
    test::TestFolder dir;
    Database db{dir.file(u"database.mdb"_s)};

    Store() {
        db.open();
        ReceivedMessages(db).savePosts(
            {{u"Читаю <b>«Мастера и Маргариту»</b> &laquo;снова&raquo;"_s,
              u"О книгах &amp; котах"_s, u"05.03.2006 10:00:00"_s, u"anna"_s, u"100"_s, u"7"_s},
             {u"[quote]цитата[/quote] Про [user=boris] и ёлку"_s, u"Второй"_s,
              u"05.03.2006 11:00:00"_s, u"anna"_s, u"101"_s, u"7"_s}});
        ReceivedMessages(db).saveComments(
            {{u"МАСТЕР своего дела"_s, u""_s, u"05.03.2006 12:00:00"_s, u"boris"_s, u"100"_s,
              u"900"_s, u"7"_s}});
        ReceivedMessages(db).savePrivates(
            {{u"Привет, мастерица!"_s, u"05.03.2006 13:00:00"_s, u"vera"_s}});
    }

    QStringList keys(const QString& query) {
        QStringList found;
        for (const SearchHit& hit : SearchIndex(db).search(query)) {
            found.append(QString::number(int(hit.kind)) + u':' + hit.serviceId + u':' + hit.author);
        }
        found.sort();
        return found;
    }
};

} // namespace

class SearchTest : public QObject {
    Q_OBJECT

private slots:
    void wordsInEveryKindAndCase() {
        Store s;
        QCOMPARE(s.keys(u"мастер"_s), QStringList{u"1:900:boris"_s}); // a whole word
        QCOMPARE(s.keys(u"Мастер*"_s),
                 (QStringList{u"0:100:anna"_s, u"1:900:boris"_s, u"2::vera"_s}));
        QCOMPARE(s.keys(u"ЕЛКУ"_s), QStringList{u"0:101:anna"_s}); // ё and е alike
        QCOMPARE(s.keys(u"ёлку"_s), QStringList{u"0:101:anna"_s});
        QCOMPARE(s.keys(u"\"мастер своего\""_s), QStringList{u"1:900:boris"_s});
        QCOMPARE(s.keys(u"\"своего мастер\""_s), QStringList{});    // a phrase keeps its order
        QCOMPARE(s.keys(u"котах"_s), QStringList{u"0:100:anna"_s}); // the title, decoded
        QCOMPARE(s.keys(u"boris"_s), (QStringList{u"0:101:anna"_s, u"1:900:boris"_s}));
        QCOMPARE(s.keys(u"снова"_s), QStringList{u"0:100:anna"_s}); // entities decoded
    }

    void markupIsNotSearched() {
        Store s;
        QVERIFY(s.keys(u"quote"_s).isEmpty());
        QVERIFY(s.keys(u"laquo"_s).isEmpty());
        QVERIFY(s.keys(u"user"_s).isEmpty());
        const auto hits = SearchIndex(s.db).search(u"маргариту"_s);
        QCOMPARE(hits.size(), size_t(1));
        QVERIFY2(hits[0].snippet.contains(SearchIndex::MatchStart + u"Маргариту"_s +
                                          SearchIndex::MatchEnd),
                 qPrintable(hits[0].snippet));
        QVERIFY(!hits[0].snippet.contains(u'<'));
        QCOMPARE(hits[0].title, u"О книгах &amp; котах"_s); // as stored
    }

    void deletedMessagesAreNotFound() {
        Store s;
        s.db.execute(u"UPDATE Posts SET Deleted = 1 WHERE PostID = '101'"_s);
        QVERIFY(s.keys(u"ёлку"_s).isEmpty());
        MessageRemoval(s.db).deletePost(
            test::rows(s.db, u"SELECT ThisID FROM Posts WHERE PostID = '100'"_s)[0].toLongLong());
        QVERIFY(s.keys(u"снова"_s).isEmpty());
        QVERIFY(s.keys(u"мастер"_s).isEmpty());         // its comment went with it
        s.db.execute(u"DELETE FROM PrivateMessages"_s); // as the purge deletes
        QVERIFY(s.keys(u"мастерица"_s).isEmpty());
        QCOMPARE(test::rows(s.db, u"SELECT count(*) FROM PostsText"_s), QStringList{u"1"_s});
    }

    void theOutboxIsSearchedAsWritten() {
        Store s;
        Outbox outbox(s.db);
        OutgoingMessage draft;
        draft.header = u"Черновик"_s;
        draft.message = u"<i>Неотправленное</i>"_s;
        draft.userName = u"me"_s;
        draft.key = outbox.addPost(draft);
        QCOMPARE(s.keys(u"неотправленное"_s),
                 QStringList{u"0:tmp"_s + QString::number(draft.key) + u":me"_s});
        draft.message = u"Переписано"_s;
        QVERIFY(outbox.updatePost(draft));
        QVERIFY(s.keys(u"неотправленное"_s).isEmpty());
        QCOMPARE(s.keys(u"переписано"_s).size(), 1);
    }

    void badQueriesSayWhy() {
        Store s;
        for (const auto& [typed, message] :
             {std::pair(u"\"мастер"_s, u"В запросе не закрыта кавычка."_s),
              std::pair(u"  "_s, u"Введите слово для поиска."_s),
              std::pair(u"*** -- ;"_s, u"Введите слово для поиска."_s)}) {
            try {
                SearchIndex(s.db).search(typed);
                QFAIL(qPrintable(typed));
            } catch (const OrvError& error) {
                QCOMPARE(error.text(), message);
            }
        }
        // Operators and punctuation of the index are words like any other.
        QVERIFY(s.keys(u"NOT мастер OR"_s).isEmpty());
        QCOMPARE(s.keys(u"мастер-класс)"_s), QStringList{});
        QCOMPARE(s.keys(u"(мастер)"_s), QStringList{u"1:900:boris"_s});
    }

    void anOlderStoreIsIndexedWhenOpened() {
        Store s;
        for (const QString& table : {u"PostsText"_s, u"CommentsText"_s, u"PrivatesText"_s}) {
            s.db.execute(u"DROP TABLE "_s + table);
        }
        s.db.execute(u"DROP TRIGGER Posts_Unindex"_s);
        s.db.execute(u"PRAGMA user_version = 3"_s);
        s.db.close();
        s.db.open();
        QCOMPARE(test::rows(s.db, u"PRAGMA user_version"_s),
                 QStringList{QString::number(Database::SchemaVersion)});
        QCOMPARE(s.keys(u"Мастер*"_s).size(), 3);
        MessageRemoval(s.db).deletePost(
            test::rows(s.db, u"SELECT ThisID FROM Posts WHERE PostID = '101'"_s)[0].toLongLong());
        QVERIFY(s.keys(u"ёлку"_s).isEmpty()); // the trigger is back too
    }

    void aStoreOfTheFirstIndexedVersionGetsTheLighterIndex() {
        Store s;
        for (const QString& table : {u"PostsText"_s, u"CommentsText"_s, u"PrivatesText"_s}) {
            s.db.execute(u"DROP TABLE "_s + table);
            s.db.execute(u"CREATE VIRTUAL TABLE "_s + table +
                         u" USING fts5(Author, Title, Body, tokenize = 'unicode61')"_s);
        }
        SearchIndex(s.db).rebuild();
        s.db.execute(u"PRAGMA user_version = 4"_s);
        s.db.close();
        s.db.open();
        QCOMPARE(test::rows(s.db, u"PRAGMA user_version"_s),
                 QStringList{QString::number(Database::SchemaVersion)});
        QCOMPARE(test::rows(s.db, u"SELECT count(*) FROM sqlite_master WHERE name LIKE '%Text' "
                                  u"AND sql LIKE '%columnsize = 0%'"_s),
                 QStringList{u"3"_s});
        QCOMPARE(s.keys(u"Мастер*"_s).size(), 3);
        MessageRemoval(s.db).deletePost(
            test::rows(s.db, u"SELECT ThisID FROM Posts WHERE PostID = '101'"_s)[0].toLongLong());
        QVERIFY(s.keys(u"ёлку"_s).isEmpty()); // the triggers reach the new tables
    }
};

QTEST_GUILESS_MAIN(SearchTest)
#include "tst_search.moc"
