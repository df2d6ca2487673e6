#include "ExchangeFixture.h"
#include "store/FetchStack.h"
#include "sync/Maintenance.h"
#include "sync/ReceiveRun.h"

#include <QRegularExpression>
#include <QTcpServer>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace orv;

namespace {

struct Fixture : test::ExchangeFixture {
    explicit Fixture(int posts = 30)
        : ExchangeFixture(posts) {
        ctx.settings.MaxPost = u"100000"_s;
    }

    int scalar(const QString& sql) {
        QSqlQuery q = ctx.db.prepare(sql);
        Database::exec(q);
        return q.next() ? q.value(0).toInt() : -1;
    }
    int count(const QString& table) { return scalar(u"SELECT count(*) FROM "_s + table); }

    // The status lines without their time stamps.
    QStringList messages(qsizetype from = 0) {
        QStringList texts;
        for (const QString& line : ctx.log.lines().mid(from)) {
            texts.append(line.mid(10));
        }
        return texts;
    }

    void storeSomething() {
        ctx.db.execute(u"INSERT INTO Posts (PostID, JournalID, uName, New, Sent, AddDate) "
                       u"VALUES ('1', '2', 'me', 1, 1, '2006-01-01 00:00:00')"_s);
    }
};

} // namespace

class ReceiveTest : public QObject {
    Q_OBJECT

private slots:
    void receiveRunStoresEverythingNewOnce() {
        Fixture f;
        ReceiveRun(f.ctx.session()).run();

        QCOMPARE(f.count(u"Posts"_s), int(f.data.posts.size()));
        QCOMPARE(f.count(u"Comments"_s), int(f.data.comments.size()));
        QCOMPARE(f.count(u"PrivateMessages"_s), 5);
        QCOMPARE(f.count(u"AddressBook"_s), int(f.data.buddies.size() + f.data.readers.size()));
        QCOMPARE(f.count(u"tmp_MessagesToGet"_s), 0);
        QCOMPARE(f.scalar(u"SELECT count(*) FROM Posts WHERE New = 1 AND Sent = 1"_s),
                 int(f.data.posts.size()));
        QCOMPARE(f.ctx.log.failureCount(), 0);

        const QStringList lines = f.messages();
        const int posts = int(f.data.posts.size());
        const int comments = int(f.data.comments.size());
        QCOMPARE(lines.first(), u"Соединяюсь с сервером..."_s);
        QCOMPARE(lines[1], u"Загрузка постов..."_s);
        QVERIFY2(QRegularExpression(u"^\\d\\d:\\d\\d:\\d\\d  Загрузка постов\\.\\.\\. 0 из "_s +
                                    QString::number(posts) + u'$')
                     .match(lines[2])
                     .hasMatch(),
                 qPrintable(lines[2]));
        QVERIFY(lines.contains(u"Загрузка комментариев..."_s));
        QVERIFY(lines.indexOf(u"Загрузка приватов..."_s) <
                lines.indexOf(u"Загрузка списка друзей..."_s));
        QCOMPARE(lines.last(), u"Получено: постов - "_s + QString::number(posts) +
                                   u", комментариев - "_s + QString::number(comments));
        QCOMPARE(f.prompts.texts.size(), 2); // new friends and new readers

        const QRegularExpression serviceTime(u"^\\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d$"_s);
        QVERIFY(serviceTime.match(f.ctx.settings.CheckTime_Posts).hasMatch());
        QVERIFY(serviceTime.match(f.ctx.settings.CheckTime_Comments).hasMatch());
        QCOMPARE(f.scalar(u"SELECT count(*) FROM iniSettings WHERE iniVariable = "
                          u"'CheckTime_Posts' AND iniValue <> ''"_s),
                 1);

        // Again: nothing new is stored, the service is asked from the new check time.
        const qsizetype before = f.ctx.log.lines().size();
        const QString checkedUntil = f.ctx.settings.CheckTime_Posts;
        f.data.addPost(f.data.buddies.first(), u"Новое"_s, u"Только что"_s,
                       standin::StandinData::now().addSecs(60));
        ReceiveRun(f.ctx.session()).run();
        QCOMPARE(f.count(u"Posts"_s), posts + 1);
        QCOMPARE(f.count(u"Comments"_s), comments);
        QCOMPARE(f.messages(before).last(), u"Получено: постов - 1, комментариев - 0"_s);
        const auto& lastList = f.server.service().documents;
        QVERIFY(std::any_of(lastList.begin(), lastList.end(), [&](const auto& document) {
            return document.queries.first().type == u"9"_s &&
                   document.queries.first().value(u"dpost"_s) == checkedUntil;
        }));
        QVERIFY(f.prompts.questions.last().contains(u"Нет непрочитанных приватных сообщений"_s));
    }

    void missingParentPostsAreFetched() {
        Fixture f;
        const int postId = f.data.posts[3].id;
        f.ctx.db.execute(u"INSERT INTO Comments (CommentID, PostID, Sent) VALUES ('1', '"_s +
                         QString::number(postId) + u"', 1), ('2', '"_s + QString::number(postId) +
                         u"', 1)"_s);
        ReceiveRun run(f.ctx.session());
        run.CheckDatabaseIntegrity();
        QCOMPARE(f.count(u"Posts"_s), 1);
        QCOMPARE(run.fetcher().PostsReceived, 1); // stacked once for both comments
        run.CheckDatabaseIntegrity();             // nothing missing any more
        QCOMPARE(f.server.received().size(), 1);
    }

    void badListAnswersLoseNothing_data() {
        QTest::addColumn<int>("fault");
        QTest::addColumn<QStringList>("lines"); // how each status line begins
        const QStringList broken = {u"MainForm.GetPost: Получен нарушенный XML-файл"_s};
        // An HTML page is well-formed: the fetch stack finds no declaration in it.
        QTest::newRow("HTTP 500 page")
            << int(standin::Fault::Http500)
            << QStringList({u"Загрузка постов..."_s,
                            u"Mod_Qrys.BuildIDstack: загрузка XML из "_s +
                                u"{path} обломилась.\r\nТекст файла:\r\n\r\n<html>"_s});
        QTest::newRow("garbage") << int(standin::Fault::Garbage) << broken;
        QTest::newRow("truncated XML") << int(standin::Fault::Truncated) << broken;
        QTest::newRow("warning before the declaration") << int(standin::Fault::Warning) << broken;
        QTest::newRow("service error page")
            << int(standin::Fault::ErrorPage)
            << QStringList(
                   {u"Сервер вернул ошибку: <html><body>Выводим xml с ошибкой</body></html>"_s});
    }

    void badListAnswersLoseNothing() {
        QFETCH(int, fault);
        QFETCH(QStringList, lines);
        Fixture f;
        f.storeSomething();
        f.server.setFault(standin::Fault(fault), 1);
        ReceiveRun run(f.ctx.session());
        run.GetPost();
        const QStringList messages = f.messages();
        QCOMPARE(messages.size(), lines.size());
        for (qsizetype i = 0; i < lines.size(); ++i) {
            const QString expected =
                QString(lines[i]).replace(u"{path}"_s, f.ctx.folder.PostFilePath());
            QVERIFY2(messages[i].startsWith(expected), qPrintable(messages[i]));
        }
        QCOMPARE(f.count(u"Posts"_s), 1);
        QCOMPARE(f.server.received().size(), 1);
        QVERIFY(f.ctx.settings.CheckTime_Posts.isEmpty());
    }

    void noConnectionStillEndsTheRun() {
        Fixture f;
        f.storeSomething();
        {
            QTcpServer probe;
            probe.listen(QHostAddress::LocalHost);
            f.ctx.settings.ServiceURL =
                u"http://127.0.0.1:"_s + QString::number(probe.serverPort());
        }
        ReceiveRun(f.ctx.session()).run();
        QCOMPARE(f.messages(), QStringList({u"Соединяюсь с сервером..."_s,
                                            u"MainForm.GetPost: Получен нарушенный XML-файл"_s,
                                            u"MainForm.GetComment: Получен нарушенный XML-файл"_s,
                                            u"MainForm.GetPrivat: Получен нарушенный XML-файл"_s,
                                            u"Загрузка списка друзей..."_s,
                                            u"MainForm.GetFriend: Получен нарушенный XML файл"_s,
                                            u"Получено: постов - 0, комментариев - 0"_s}));
        QCOMPARE(f.prompts.messages.size(), 1);
        QCOMPARE(f.count(u"Posts"_s), 1);
    }

    void batchThatFailsLeavesItsItemsWaiting() {
        Fixture f(25);
        f.ctx.settings.PostsToGetPerOneSession = u"10"_s;
        f.server.setFault(standin::Fault::Truncated, 1, 0, 2); // the list and one batch pass
        ReceiveRun run(f.ctx.session());
        run.GetPost();
        QCOMPARE(f.count(u"Posts"_s), 15); // the second batch of ten was lost on the way
        QCOMPARE(run.fetcher().PostsReceived, 25);
        QCOMPARE(f.scalar(u"SELECT count(*) FROM tmp_MessagesToGet WHERE ErrCode IS NULL"_s), 10);
        QVERIFY(f.messages().contains(
            u"Загрузка постов... 20 из 25"_s.prepend(f.ctx.log.lines()[1].left(10))));
        const QStringList messages = f.messages();
        QVERIFY(std::any_of(messages.begin(), messages.end(), [](const QString& line) {
            return line.startsWith(u"DecodePosts:: Структура XML-файла нарушена."_s);
        }));
    }

    void purgeKeepsUnreadUnsentAndRecent() {
        Fixture f(0);
        f.ctx.settings.ShowLastDays = 5;
        f.ctx.db.execute(u"INSERT INTO Posts (PostID, New, Sent, AddDate) VALUES "
                         u"('old-read', 0, 1, '2006-02-20 10:00:00'), ('old-unread', 1, 1, "
                         u"'2006-02-20 10:00:00'),"
                         u"('recent', 0, 1, '2006-02-25 00:00:00'), ('unsent', 0, 0, NULL)"_s);
        f.ctx.db.execute(u"INSERT INTO Comments (CommentID, PostID, New, Sent, AddDate) VALUES "
                         u"('c1', 'old-read', 1, 1, '2006-02-26 10:00:00')," // of a post that goes
                         u"('c2', 'old-read', 0, 0, NULL),"                  // unsent: stays
                         u"('c3', 'old-unread', 0, 1, '2006-02-20 10:00:00')," // old and read: goes
                         u"('c4', 'old-unread', 1, 1, '2006-02-20 10:00:00')"_s);
        f.ctx.db.execute(u"INSERT INTO PrivateMessages (Message, New, Sent, AddDate) VALUES "
                         u"('old', 0, 1, '2006-02-01 00:00:00'), ('new', 0, 1, NULL)"_s);
        DeleteOldRecords(f.ctx.session(), QDate(2006, 3, 2)); // cut-off: 25.02.2006 00:00
        QSqlQuery q = f.ctx.db.prepare(u"SELECT group_concat(PostID) FROM Posts"_s);
        Database::exec(q);
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), u"old-unread,recent,unsent"_s);
        QCOMPARE(f.scalar(u"SELECT count(*) FROM Comments WHERE CommentID IN ('c2', 'c4')"_s), 2);
        QCOMPARE(f.count(u"Comments"_s), 2);
        QCOMPARE(f.count(u"PrivateMessages"_s), 1);

        // The comment whose post went is an orphan only if it stayed: it did (unsent).
        ReceiveRun run(f.ctx.session());
        run.CheckDatabaseIntegrity();
        QCOMPARE(f.server.received().size(), 1);
    }

    void singlePostNumber() {
        Fixture f(0);
        QVERIFY(StackSinglePost(f.ctx.session(), u" 12345 "_s));
        QVERIFY(!StackSinglePost(f.ctx.session(), u"12a"_s));
        QVERIFY(!StackSinglePost(f.ctx.session(), QString()));
        QCOMPARE(FetchStack(f.ctx.db).waiting(FetchStack::Posts), QStringList({u"12345"_s}));
        QVERIFY(f.server.received().isEmpty());
    }
};

QTEST_GUILESS_MAIN(ReceiveTest)
#include "tst_receive.moc"
