#include "StoreCheck.h"
#include "TestData.h"
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

struct Store : test::StoreFolder {
    Store() {
        ReceivedMessages(db).savePosts(
            {{u"Читаю <b>«Мастера и Маргариту»</b> &laquo;снова&raquo;"_s,
              u"О книгах &amp; котах"_s, u"05.03.2006 10:00:00"_s, u"anna"_s, u"100"_s, u"7"_s},
             {u"[quote]цитата[/quote] Про [user=boris] и ёлку"_s,
              u"Второй, Café, cafe\u0301 и λόγος"_s, u"05.03.2006 11:00:00"_s, u"anna"_s, u"101"_s,
              u"7"_s}});
        ReceivedMessages(db).saveComments(
            {{u"МАСТЕР своего дела"_s, u""_s, u"05.03.2006 12:00:00"_s, u"boris"_s, u"100"_s,
              u"900"_s, u"7"_s}});
        ReceivedMessages(db).savePrivates(
            {{u"Привет, мастерица!"_s, u"05.03.2006 13:00:00"_s, u"vera"_s}});
    }

    QString keys(const QString& query) {
        QStringList found;
        for (const SearchHit& hit : SearchIndex(db).search(query)) {
            found.append(QString::number(int(hit.kind)) + u':' + hit.serviceId + u':' + hit.author);
        }
        found.sort();
        return found.join(u' ');
    }
};

} // namespace

class SearchTest : public QObject {
    Q_OBJECT

private slots:
    void queries_data() { test::addRows(u"search/queries.tsv"_s, {"query", "hits", "error"}); }

    void queries() {
        const auto [query, hits, error] = test::cells({"query", "hits", "error"});
        Store s;
        try {
            QCOMPARE(s.keys(query), hits);
            QVERIFY(error.isEmpty());
        } catch (const OrvError& e) {
            QCOMPARE(e.text(), error);
        }
    }

    void searchedText_data() { test::addRows(u"search/plain.tsv"_s, {"body", "text"}); }

    void searchedText() {
        const auto [body, text] = test::cells({"body", "text"});
        QCOMPARE(SearchIndex::authorsText(body), text);
    }

    void snippetsShowTheAuthorsTextWithTheMatchMarked_data() {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("marked");
        QTest::newRow("a word") << u"маргариту"_s << u"<Маргариту>"_s;
        QTest::newRow("ё as written") << u"елку"_s << u"и <ёлку>"_s;
        QTest::newRow("a prefix") << u"мастери"_s << u"<мастерица>!"_s;
        QTest::newRow("the title") << u"книгах"_s << u"О <книгах> & котах"_s;
    }
    void snippetsShowTheAuthorsTextWithTheMatchMarked() {
        QFETCH(QString, query);
        QFETCH(QString, marked);
        Store s;
        const auto hits = SearchIndex(s.db).search(query);
        QCOMPARE(hits.size(), size_t(1));
        const QString snippet = QString(hits[0].snippet)
                                    .replace(SearchIndex::MatchStart, u'<')
                                    .replace(SearchIndex::MatchEnd, u'>');
        QVERIFY2(snippet.contains(marked), qPrintable(snippet));
        QVERIFY(!snippet.contains(u"<b"_s));
    }

    void theCountIsTheTrueNumberBeyondTheLimit() {
        Store s;
        QCOMPARE(SearchIndex(s.db).search(u"мастер"_s, 2).size(), size_t(2));
        QCOMPARE(SearchIndex(s.db).count(u"мастер"_s), 3);
        QVERIFY_THROWS_EXCEPTION(OrvError, SearchIndex(s.db).count(u"\"мастер"_s));
    }

    void deletedMessagesAreNotFound() {
        Store s;
        s.db.execute(u"UPDATE Posts SET Deleted = 1 WHERE PostID = '101'"_s);
        QCOMPARE(s.keys(u"ёлку"_s), QString());
        MessageRemoval(s.db).deletePost(1); // post 100
        QCOMPARE(s.keys(u"снова"_s), QString());
        QCOMPARE(s.keys(u"\"мастер\""_s), QString());   // its comment went with it
        s.db.execute(u"DELETE FROM PrivateMessages"_s); // as the purge deletes
        QCOMPARE(s.keys(u"мастерица"_s), QString());
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
        QCOMPARE(s.keys(u"неотправленное"_s), u"0:tmp"_s + QString::number(draft.key) + u":me"_s);
        draft.message = u"Переписано"_s;
        QVERIFY(outbox.updatePost(draft));
        QCOMPARE(s.keys(u"неотправленное"_s), QString());
        QCOMPARE(s.keys(u"переписано"_s).count(u':'), 2);
    }
};

QTEST_GUILESS_MAIN(SearchTest)
#include "tst_search.moc"
