// The answer parser and the decoders: pure functions from an answer's text to
// typed rows and questions, with no store, file or network involved.
#include "ScriptedPrompts.h"
#include "app/OrvError.h"
#include "decode/CommentsDecoder.h"
#include "decode/IdListDecoder.h"
#include "decode/PostsDecoder.h"
#include "decode/PrivatesDecoder.h"
#include "decode/RelationsDecoder.h"
#include "store/FetchStack.h"

#include <QtTest>

using namespace Qt::StringLiterals;
using namespace orv;

namespace {

const QString kHead = u"<?xml version='1.0' encoding='windows-1251'?><results>"_s;

QString post(const QString& id, const QString& journal = u"71"_s) {
    return u"<ITEM><MESSAGE>Текст &amp;laquo;</MESSAGE><HEADER>Заголовок</HEADER>"
           u"<MESSAGEDATE>05.03.2006 14:07:00</MESSAGEDATE><USERNAME>snegir</USERNAME><POSTID>"_s +
           id + u"</POSTID><JOURNALID>"_s + journal + u"</JOURNALID></ITEM>"_s;
}

QString comment(const QString& id) {
    return u"<ITEM><MESSAGE>Ну да</MESSAGE><HEADER></HEADER><MESSAGEDATE>05.03.2006 15:00:00"
           u"</MESSAGEDATE><USERNAME>Ёжик</USERNAME><POSTID>1001</POSTID><COMMID>"_s +
           id + u"</COMMID><JOURNALID>71</JOURNALID></ITEM>"_s;
}

QString privateItem(const QString& text) {
    return u"<ITEM><MESSAGE>"_s + text +
           u"</MESSAGE><MESSAGEDATE>01.02.2006 10:00:00</MESSAGEDATE><USERNAME>marta"
           u"</USERNAME></ITEM>"_s;
}

QString result(const QString& qid, const QString& items, const QString& error = u"0"_s) {
    return u"<RESULT QID='"_s + qid + u"' ERROR='"_s + error + u"'>"_s + items + u"</RESULT>"_s;
}

ResultDocument answer(const QString& results) {
    auto document = ResultDocument::parse(kHead + results + u"</results>"_s);
    if (!document) {
        qFatal("test answer does not parse");
    }
    return std::move(*document);
}

QStringList postIds(const std::vector<ReceivedPost>& posts) {
    QStringList ids;
    for (const ReceivedPost& p : posts) {
        ids.append(p.postId);
    }
    return ids;
}

} // namespace

class DecodersTest : public QObject {
    Q_OBJECT

private slots:
    void brokenAnswersAreNeverEmptyOnes_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("empty") << QString();
        QTest::newRow("truncated") << kHead + u"<RESULT QID='get_rel' ERR"_s;
        QTest::newRow("HTML page") << u"<html><body><h1>Internal Server Error</h1></body></html>"_s;
        QTest::newRow("PHP warning without a declaration")
            << u"<br />\n<b>Warning</b>: mysql_connect()<br />\n<results></results>"_s;
        QTest::newRow("no results element")
            << u"<?xml version='1.0'?><answer><RESULT QID='x' ERROR='0'/></answer>"_s;
        QTest::newRow("nested too deep") << kHead + u"<a>"_s.repeated(ResultDocument::MaxDepth) +
                                                u"</a>"_s.repeated(ResultDocument::MaxDepth) +
                                                u"</results>"_s;
    }
    void brokenAnswersAreNeverEmptyOnes() {
        QFETCH(QString, text);
        QVERIFY(!ResultDocument::parse(text));
    }

    void limitsKeepHostileAnswersCheap() {
        // A million nested elements used to take the parser minutes; now the
        // nesting limit ends the reading at once.
        const int depth = 1'000'000;
        const QString nested = kHead + u"<a>"_s.repeated(depth) + u"</a>"_s.repeated(depth);
        QVERIFY(!ResultDocument::parse(nested));
        const QString huge = kHead + QString(ResultDocument::MaxAnswerSize, u'x');
        QVERIFY(!ResultDocument::parse(huge));
        // Just inside the limits parses.
        const int allowed = ResultDocument::MaxDepth - 1;
        QVERIFY(ResultDocument::parse(kHead + u"<a>"_s.repeated(allowed - 1) +
                                      u"</a>"_s.repeated(allowed - 1) + u"</results>"_s));
    }

    void warningBeforeTheDeclarationIsDropped() {
        const auto document = ResultDocument::parse(
            u"<br />\n<b>Warning</b>: mysql_connect(): Too many connections<br />\n"_s + kHead +
            result(u"get_new_privates"_s, privateItem(u"Привет"_s)) + u"</results>"_s);
        QVERIFY(document);
        QCOMPARE(document->results().size(), size_t(1));
    }

    void resultsElementIsFoundWhereverItStands() {
        const auto wrapped = ResultDocument::parse(
            u"<?xml version='1.0'?><page><results><RESULT QID='a' ERROR='0'/></results></page>"_s);
        QVERIFY(wrapped);
        QCOMPARE(wrapped->results().size(), size_t(1));
        QCOMPARE(wrapped->results()[0]->attribute(u"QID"_s), u"a"_s);
    }

    void postsKeepTheirTextsAndOrder() {
        const auto posts = DecodePosts(answer(
            result(u"get_new_posts"_s, post(u"3"_s) + post(u"1"_s) + post(u"2"_s, QString())) +
            result(u"something_else"_s, post(u"9"_s)) + result(u"get_new_posts"_s, post(u"4"_s))));
        QCOMPARE(postIds(posts), QStringList({u"3"_s, u"1"_s, u"2"_s, u"4"_s}));
        QCOMPARE(posts[0].message, u"Текст &laquo;"_s); // entities stay for display time
        QCOMPARE(posts[0].date, u"05.03.2006 14:07:00"_s);
        QCOMPARE(posts[0].userName, u"snegir"_s);
        QCOMPARE(posts[2].journalId, QString());
    }

    void postsOfAnErrorResultAreIgnored() {
        QVERIFY(DecodePosts(answer(result(u"get_new_posts"_s, post(u"1"_s), u"3"_s))).empty());
        QCOMPARE(postIds(DecodePosts(answer(result(u"get_new_posts"_s, post(u"1"_s), QString())))),
                 QStringList({u"1"_s}));
    }

    void incompleteItemIsAnError() {
        const ResultDocument document = answer(
            result(u"get_new_posts"_s, post(u"1"_s) + u"<ITEM><MESSAGE>x</MESSAGE></ITEM>"_s));
        QVERIFY_THROWS_EXCEPTION(OrvError, DecodePosts(document));
    }

    void commentsOfBothKindsOfResult() {
        test::ScriptedPrompts prompts;
        const auto comments =
            DecodeComments(answer(result(u"get_new_comments"_s, comment(u"7"_s) + comment(u"8"_s)) +
                                  result(u"allcomments_for-1001"_s, comment(u"9"_s)) +
                                  result(u"allcomments"_s, comment(u"10"_s))),
                           prompts);
        QStringList ids;
        for (const auto& c : comments) {
            ids.append(c.commentId);
        }
        QCOMPARE(ids, QStringList({u"7"_s, u"8"_s, u"9"_s}));
        QCOMPARE(comments[0].userName, u"Ёжик"_s);
        QCOMPARE(comments[0].postId, u"1001"_s);
        QVERIFY(prompts.questions.isEmpty());
    }

    void serviceErrorAsksAndNeverDelivers() {
        test::ScriptedPrompts prompts;
        const ResultDocument document =
            answer(result(u"get_new_comments"_s, comment(u"1"_s)) +
                   result(u"get_new_comments"_s, comment(u"2"_s), u"63"_s) +
                   result(u"get_new_comments"_s, comment(u"3"_s)));
        prompts.answers = {false};
        QCOMPARE(DecodeComments(document, prompts).size(), size_t(1));
        QCOMPARE(prompts.questions,
                 QStringList({u"ORV v.0.7.31c|Mod_DB.DecodeComments:: Защита от флуда (только "
                              u"что было добавлено такое же сообщение)\r\nДА - продолжаем, НЕТ - "
                              u"не продолжаем"_s}));
        prompts.answers = {true}; // goes on past the erroneous result, without its items
        const auto comments = DecodeComments(document, prompts);
        QCOMPARE(comments.size(), size_t(2));
        QCOMPARE(comments[1].commentId, u"3"_s);

        QVERIFY_THROWS_EXCEPTION(
            OrvError, DecodeComments(answer(u"<RESULT QID='get_new_comments'/>"_s), prompts));
    }

    void noUnreadPrivatesIsAStatusLine() {
        test::ScriptedPrompts prompts;
        const auto none =
            DecodePrivates(answer(result(u"get_new_privates"_s, {}, u"53"_s)), prompts);
        QVERIFY(prompts.questions.isEmpty());
        QCOMPARE(none.statusLines, QStringList({u"Нет непрочитанных приватных сообщений"_s}));
        QVERIFY(none.messages.empty());

        const auto some = DecodePrivates(
            answer(result(u"get_new_privates"_s, privateItem(u"Привет"_s) + privateItem(u"Ещё"_s)) +
                   result(u"get_new_privates"_s, {})),
            prompts);
        QCOMPARE(some.messages.size(), size_t(2)); // an empty result after them drops nothing
        QCOMPARE(some.messages[1].message, u"Ещё"_s);

        prompts.answers = {true};
        const auto refused = DecodePrivates(
            answer(result(u"get_new_privates"_s, privateItem(u"Привет"_s), u"3"_s)), prompts);
        QVERIFY(refused.messages.empty());
        QVERIFY(prompts.questions.last().contains(u"Mod_DB.DecodePrivates:: Ошибка авторизации"_s));
    }

    void relationsOrEverythingStays() {
        test::ScriptedPrompts prompts;
        const auto named =
            DecodeRel(answer(result(u"get_rel"_s, u"<READER>boris</READER><BUDDY>vova</BUDDY>"
                                                  u"<BUDDY>anna</BUDDY>"_s)),
                      prompts);
        QVERIFY(named);
        QCOMPARE(named->size(), size_t(3));
        QCOMPARE((*named)[0].nick, u"vova"_s); // friends first
        QCOMPARE((*named)[2].status, AddressBook::Reader);

        const auto nobody = DecodeRel(answer(result(u"get_rel"_s, {})), prompts);
        QVERIFY(nobody && nobody->empty()); // empties the lists

        for (const bool goOn : {true, false}) {
            prompts.answers = {goOn};
            QVERIFY(!DecodeRel(answer(result(u"get_rel"_s, {}, u"3"_s) +
                                      result(u"get_rel"_s, u"<BUDDY>anna</BUDDY>"_s)),
                               prompts));
        }
        QCOMPARE(prompts.questions.size(), 2);
        QVERIFY_THROWS_EXCEPTION(
            OrvError, DecodeRel(answer(result(u"get_rel"_s, u"<BUDDY></BUDDY>"_s)), prompts));
    }

    void idLists() {
        const IdList posts = DecodeIdList(
            answer(u"<RESULT QID='get_new_posts' ERROR='0'><NOWDATE>07.12.2026 03:00:00</NOWDATE>"
                   u"<ITEM>11 12  13</ITEM></RESULT>"_s));
        QCOMPARE(posts.stackType, FetchStack::Posts);
        QCOMPARE(posts.ids, QStringList({u"11"_s, u"12"_s, u"13"_s}));
        QCOMPARE(posts.checkTimeKey, u"CheckTime_Posts"_s);
        QCOMPARE(posts.checkTime, u"07.12.2026 03:00:00"_s);

        const IdList timeOnly = DecodeIdList(
            answer(u"<RESULT QID='get_new_comments' ERROR='0'><NOWDATE>x</NOWDATE></RESULT>"_s));
        QCOMPARE(timeOnly.checkTimeKey, u"CheckTime_Comments"_s);
        QVERIFY(timeOnly.ids.isEmpty());

        const IdList withoutTime = DecodeIdList(
            answer(u"<RESULT QID='get_new_posts' ERROR='0'><ITEM>1</ITEM></RESULT>"_s));
        QVERIFY(withoutTime.ids.isEmpty() && withoutTime.checkTimeKey.isEmpty());

        const IdList all = DecodeIdList(
            answer(u"<RESULT QID='allcomments' ERROR='0'><ITEM>5 6</ITEM></RESULT>"_s));
        QCOMPARE(all.stackType, FetchStack::Comments);
        QCOMPARE(all.ids, QStringList({u"5"_s, u"6"_s}));
        QVERIFY(all.checkTimeKey.isEmpty());
    }
};

QTEST_GUILESS_MAIN(DecodersTest)
#include "tst_decoders.moc"
