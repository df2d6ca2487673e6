#include "ExchangeFixture.h"
#include "decode/CommentsDecoder.h"
#include "decode/PostsDecoder.h"
#include "decode/PrivatesDecoder.h"
#include "decode/RelationsDecoder.h"
#include "store/FetchStack.h"

#include <QtTest>

using namespace Qt::StringLiterals;
using namespace orv;

namespace {

const QString kHead = u"<?xml version='1.0' encoding='windows-1251'?><results>"_s;

QString post(const QString& id, const QString& journal = u"71"_s,
             const QString& date = u"05.03.2006 14:07:00"_s, const QString& text = u"Текст"_s) {
    return u"<ITEM><MESSAGE>"_s + text + u"</MESSAGE><HEADER>Заголовок</HEADER><MESSAGEDATE>"_s +
           date + u"</MESSAGEDATE><USERNAME>snegir</USERNAME><POSTID>"_s + id +
           u"</POSTID><JOURNALID>"_s + journal + u"</JOURNALID></ITEM>"_s;
}

QString comment(const QString& id, const QString& postId = u"1001"_s,
                const QString& date = u"05.03.2006 15:00:00"_s, const QString& text = u"Ну да"_s) {
    return u"<ITEM><MESSAGE>"_s + text + u"</MESSAGE><HEADER></HEADER><MESSAGEDATE>"_s + date +
           u"</MESSAGEDATE><USERNAME>Ёжик</USERNAME><POSTID>"_s + postId + u"</POSTID><COMMID>"_s +
           id + u"</COMMID><JOURNALID>71</JOURNALID></ITEM>"_s;
}

QString result(const QString& qid, const QString& items, const QString& error = u"0"_s) {
    return u"<RESULT QID='"_s + qid + u"' ERROR='"_s + error + u"'>"_s + items + u"</RESULT>"_s;
}

struct Fixture : test::ExchangeFixture {
    QStringList autoLoaded;

    QString answer(const QString& results) {
        return writeRequest(kHead + results + u"</results>"_s);
    }

    QVariantList column(const QString& sql) {
        QSqlQuery q = ctx.db.prepare(sql);
        Database::exec(q);
        QVariantList values;
        while (q.next()) {
            values.append(q.value(0));
        }
        return values;
    }
    int count(const QString& table) {
        return column(u"SELECT count(*) FROM "_s + table)[0].toInt();
    }

    PostsDecoder posts() {
        return PostsDecoder(ctx.session(), [this](const QString& id) { autoLoaded.append(id); });
    }
};

} // namespace

class DecodersTest : public QObject {
    Q_OBJECT

private slots:
    void postsAreStoredAndMarkedReceived() {
        Fixture f;
        FetchStack(f.ctx.db).add({u"1001"_s, u"1002"_s, u"1003"_s}, FetchStack::Posts);
        f.posts().SaveFriendPosts(f.answer(result(
            u"get_new_posts"_s, post(u"1001"_s) + post(u"1002"_s, QString()) + post(u"1001"_s))));
        QCOMPARE(f.count(u"Posts"_s), 1); // no diary: skipped; twice in one answer: one row
        QCOMPARE(f.column(u"SELECT Messagedate FROM Posts"_s)[0].toString(),
                 u"2006-03-05 14:07:00"_s);
        QCOMPARE(f.column(u"SELECT New || Sent || Deleted FROM Posts"_s)[0].toString(), u"110"_s);
        QCOMPARE(f.column(u"SELECT ID FROM tmp_MessagesToGet WHERE ErrCode = 'welldone' "
                          u"ORDER BY ID"_s),
                 QVariantList({u"1001"_s, u"1002"_s}));
        QVERIFY(f.ctx.log.lines().isEmpty());
    }

    void knownPostIsOverwrittenAndUnreadAgain() {
        Fixture f;
        f.ctx.db.execute(
            u"INSERT INTO Posts (PostID, JournalID, Message, New, Sent, Deleted) "
            u"VALUES ('1001', '71', 'old', 0, 0, 0), ('1002', '71', 'gone', 0, 1, 1)"_s);
        f.posts().SaveFriendPosts(f.answer(result(
            u"get_new_posts"_s,
            post(u"1001"_s, u"71"_s, u"05.03.2006 14:07:00"_s, u"new"_s) + post(u"1002"_s))));
        QCOMPARE(f.column(u"SELECT Message || New || Sent FROM Posts WHERE PostID = '1001'"_s),
                 QVariantList({u"new10"_s}));
        // A deleted row is not matched: the post comes back as a row of its own.
        QCOMPARE(f.column(u"SELECT Deleted FROM Posts WHERE PostID = '1002' ORDER BY ThisID"_s),
                 QVariantList({1, 0}));
    }

    void postsAnswerWithoutUsableRows() {
        Fixture f;
        FetchStack(f.ctx.db).add({u"1001"_s}, FetchStack::Posts);
        f.posts().SaveFriendPosts(f.answer(result(u"something_else"_s, post(u"1001"_s)) +
                                           result(u"get_new_posts"_s, QString())));
        QCOMPARE(f.count(u"Posts"_s), 0);
        QCOMPARE(f.column(u"SELECT count(*) FROM tmp_MessagesToGet WHERE ErrCode IS NULL"_s)[0],
                 QVariant(1));
        // The first post without a date: none of the posts is stored.
        f.posts().SaveFriendPosts(f.answer(
            result(u"get_new_posts"_s, post(u"1001"_s, u"71"_s, QString()) + post(u"1002"_s))));
        QCOMPARE(f.count(u"Posts"_s), 0);
        QVERIFY(f.ctx.log.lines().isEmpty());
    }

    void aSecondResultReplacesTheFirstWithoutOverrunning() {
        // Each result starts its rows afresh; counting on across results would
        // write past the table made for the second one.
        Fixture f;
        f.posts().SaveFriendPosts(
            f.answer(result(u"get_new_posts"_s, post(u"1"_s) + post(u"2"_s) + post(u"3"_s)) +
                     result(u"get_new_posts"_s, post(u"4"_s))));
        QVERIFY2(f.ctx.log.lines().isEmpty(), qPrintable(f.ctx.log.currentText()));
        QCOMPARE(f.column(u"SELECT PostID FROM Posts"_s), QVariantList({u"4"_s}));

        CommentsDecoder(f.ctx.session())
            .SaveComments(
                f.answer(result(u"get_new_comments"_s, comment(u"7"_s) + comment(u"8"_s)) +
                         result(u"allcomments_for-1001"_s, comment(u"9"_s))));
        QVERIFY(f.ctx.log.lines().isEmpty());
        QCOMPARE(f.column(u"SELECT CommentID FROM Comments"_s), QVariantList({u"9"_s}));
    }

    void allCommentsOfEachPostAreAskedForInOrder() {
        Fixture f;
        const QString answer =
            f.answer(result(u"get_new_posts"_s, post(u"3"_s) + post(u"1"_s) + post(u"2"_s)));
        f.posts().SaveFriendPosts(answer);
        QVERIFY(f.autoLoaded.isEmpty());
        f.ctx.settings.AutoLoadComments = true;
        f.posts().SaveFriendPosts(answer);
        QCOMPARE(f.autoLoaded, QStringList({u"3"_s, u"1"_s, u"2"_s}));
    }

    void brokenPostsDocumentsStoreNothing() {
        Fixture f;
        const QString path = f.writeRequest(u"<?xml version='1.0'?>\r\n<results><RESULT"_s);
        f.posts().SaveFriendPosts(path);
        const QStringList lines = f.ctx.log.lines();
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines[0].endsWith(u"  DecodePosts:: Структура XML-файла нарушена.\r\nСодержание "
                                  u"файла:\r\n\r\n<?xml version='1.0'?> ..."_s));
        QVERIFY(lines[1].contains(u"  Mod_DB.SaveFriendPosts: "_s));

        f.posts().SaveFriendPosts(f.answer(
            result(u"get_new_posts"_s, post(u"1"_s) + u"<ITEM><MESSAGE>x</MESSAGE></ITEM>"_s)));
        QVERIFY(f.ctx.log.lines()[2].contains(u"  Mod_DB.DecodePosts: "_s));
        QCOMPARE(f.count(u"Posts"_s), 0);
    }

    void badDateEndsStoringAtItsRow() {
        Fixture f;
        f.posts().SaveFriendPosts(f.answer(result(
            u"get_new_posts"_s, post(u"1"_s) + post(u"2"_s, u"71"_s, u"вчера"_s) + post(u"3"_s))));
        QCOMPARE(f.column(u"SELECT PostID FROM Posts"_s), QVariantList({u"1"_s}));
        QVERIFY(f.ctx.log.currentText().endsWith(u"Mod_DB.SaveFriendPosts: Несоответствие типа"_s));
    }

    void commentsAreStoredWithTheirRules() {
        Fixture f;
        FetchStack(f.ctx.db).add({u"5"_s, u"6"_s}, FetchStack::Comments);
        f.ctx.db.execute(u"INSERT INTO Comments (CommentID, Message, New, Sent) "
                         u"VALUES ('7', 'old', 0, 0)"_s);
        CommentsDecoder(f.ctx.session())
            .SaveComments(f.answer(
                result(u"get_new_comments"_s,
                       comment(u"5"_s) + comment(u"6"_s, u"1001"_s, u"01.01.1970 03:00:00"_s) +
                           comment(u"7"_s, u"1001"_s, u"05.03.2006 16:00:00"_s, u"refreshed"_s))));
        QCOMPARE(f.column(u"SELECT CommentID FROM Comments ORDER BY CommentID"_s),
                 QVariantList({u"5"_s, u"7"_s}));
        QCOMPARE(f.column(u"SELECT Message || New || Sent FROM Comments WHERE CommentID = '7'"_s),
                 QVariantList({u"refreshed01"_s})); // read stays read
        QCOMPARE(
            f.column(u"SELECT count(*) FROM tmp_MessagesToGet WHERE ErrCode = 'welldone'"_s)[0],
            QVariant(2)); // the 1970 one too

        CommentsDecoder(f.ctx.session())
            .SaveComments(f.answer(result(u"allcomments_for-1001"_s, comment(u"8"_s))));
        QCOMPARE(f.count(u"Comments"_s), 3);
        QVERIFY(f.prompts.questions.isEmpty());
    }

    void serviceErrorAsksWhetherToGoOn() {
        Fixture f;
        const QString path = f.answer(result(u"get_new_comments"_s, comment(u"1"_s)) +
                                      result(u"get_new_comments"_s, comment(u"2"_s), u"63"_s));
        f.prompts.answers = {false};
        CommentsDecoder(f.ctx.session()).SaveComments(path);
        QCOMPARE(f.prompts.questions,
                 QStringList({u"ORV v.0.7.31c|Mod_DB.DecodeComments:: Защита от флуда (только "
                              u"что было добавлено такое же сообщение)\r\nДА - продолжаем, НЕТ - "
                              u"не продолжаем"_s}));
        QCOMPARE(f.column(u"SELECT CommentID FROM Comments"_s), QVariantList({u"1"_s}));

        f.prompts.answers = {true};
        CommentsDecoder(f.ctx.session())
            .SaveComments(f.answer(result(u"get_new_comments"_s, comment(u"3"_s), u"1616"_s)));
        QCOMPARE(f.count(u"Comments"_s), 2);
        QVERIFY(f.prompts.questions.last().contains(u"Такое сообщение уже есть на сервере"_s));
        CommentsDecoder(f.ctx.session())
            .SaveComments(f.answer(result(u"get_new_comments"_s, comment(u"4"_s), QString())));
        QCOMPARE(f.prompts.questions.size(), 2); // an empty code is no error
    }

    void privateMessages() {
        Fixture f;
        const auto item = [](const QString& text, const QString& date) -> QString {
            return u"<ITEM><MESSAGE>"_s + text + u"</MESSAGE><MESSAGEDATE>"_s + date +
                   u"</MESSAGEDATE><USERNAME>marta</USERNAME></ITEM>"_s;
        };
        const QString path = f.answer(
            result(u"get_new_privates"_s, item(u"Привет"_s, u"01.02.2006 10:00:00"_s) +
                                              item(u"Привет"_s, u"01.02.2006 11:00:00"_s) +
                                              item(u"старое"_s, u"01.01.1970 03:00:00"_s)));
        PrivatesDecoder(f.ctx.session()).SavePrivate(path);
        QCOMPARE(f.count(u"PrivateMessages"_s), 2);
        f.ctx.db.execute(u"UPDATE PrivateMessages SET New = 0"_s);
        PrivatesDecoder(f.ctx.session())
            .SavePrivate(f.answer(
                result(u"get_new_privates"_s, item(u"Привет"_s, u"01.02.2006 10:00:00"_s))));
        QCOMPARE(f.count(u"PrivateMessages"_s), 2);
        QCOMPARE(f.column(u"SELECT sum(New) FROM PrivateMessages"_s)[0], QVariant(1));

        f.prompts.answers = {true};
        PrivatesDecoder(f.ctx.session())
            .SavePrivate(f.answer(result(u"get_new_privates"_s, QString(), u"53"_s)));
        QVERIFY(f.prompts.questions.last().contains(u"Нет непрочитанных приватных сообщений"_s));
        PrivatesDecoder(f.ctx.session())
            .SavePrivate(f.answer(result(u"get_new_privates"_s, QString())));
        QCOMPARE(f.count(u"PrivateMessages"_s), 2);
        QVERIFY(f.ctx.log.lines().isEmpty());
    }

    void friendsAndReadersReports() {
        Fixture f;
        const auto rel = [](const QStringList& buddies, const QStringList& readers) -> QString {
            QString items;
            for (const QString& b : buddies) {
                items += u"<BUDDY>"_s + b + u"</BUDDY>"_s;
            }
            for (const QString& r : readers) {
                items += u"<READER>"_s + r + u"</READER>"_s;
            }
            return result(u"get_rel"_s, items);
        };
        const auto update = [&](const QString& results) {
            RelationsDecoder relations(f.ctx.session());
            relations.SaveRel(f.answer(results));
            relations.CheckFriends();
        };
        update(rel({u"vova"_s, u"anna"_s, u"marta"_s}, {u"marta"_s, u"boris"_s}));
        QCOMPARE(f.prompts.texts.size(), 2);
        QCOMPARE(f.prompts.texts[0].title, u"Новые друзья"_s);
        QCOMPARE(f.prompts.texts[0].text, u"У вас 3 новых друзей:\r\nanna\r\nmarta\r\nvova"_s);
        QCOMPARE(f.prompts.texts[1].title, u"Новые ПЧ"_s);
        QCOMPARE(f.prompts.texts[1].text, u"У вас 2 новых ПЧ:\r\nboris\r\nmarta"_s);
        QCOMPARE(f.column(u"SELECT count(*) FROM AddressBook WHERE New = 0 AND Old = 1"_s)[0],
                 QVariant(5));

        update(rel({u"vova"_s, u"anna"_s, u"marta"_s}, {u"marta"_s, u"boris"_s}));
        QCOMPARE(f.prompts.texts.size(), 2);

        update(rel({u"vova"_s, u"marta"_s}, {u"marta"_s, u"boris"_s}));
        QCOMPARE(f.prompts.texts.size(), 3);
        QCOMPARE(f.prompts.texts[2].title, QString());
        QCOMPARE(f.prompts.texts[2].text, u"Список друзей уменьшился на 1 чел.:\r\nanna"_s);
        QCOMPARE(f.count(u"AddressBook"_s), 4);

        // A broken answer or a No leaves every relation as it was.
        update(u"<RESULT QID='get_rel'"_s);
        f.prompts.answers = {false};
        update(result(u"get_rel"_s, QString(), u"3"_s));
        QCOMPARE(f.count(u"AddressBook"_s), 4);
        QCOMPARE(f.prompts.texts.size(), 3);

        update(result(u"get_rel"_s, QString())); // names nobody: everyone has left
        QCOMPARE(f.count(u"AddressBook"_s), 0);
        QCOMPARE(f.prompts.texts[3].text,
                 u"Список друзей уменьшился на 2 чел.:\r\nmarta\r\nvova"_s);
        QCOMPARE(f.prompts.texts[4].text, u"Список ПЧ уменьшился на 2 чел.:\r\nboris\r\nmarta"_s);
    }

    void oldAddressBookGainsItsColumn() {
        Fixture f;
        f.ctx.db.execute(u"DROP TABLE AddressBook"_s);
        f.ctx.db.execute(u"CREATE TABLE AddressBook (Nick TEXT, Status TEXT, New INTEGER)"_s);
        RelationsDecoder(f.ctx.session())
            .SaveRel(f.answer(result(u"get_rel"_s, u"<BUDDY>anna</BUDDY>"_s)));
        QCOMPARE(f.column(u"SELECT Nick || Old FROM AddressBook"_s), QVariantList({u"anna1"_s}));
    }
};

QTEST_GUILESS_MAIN(DecodersTest)
#include "tst_decoders.moc"
