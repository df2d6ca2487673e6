#include "ExchangeFixture.h"
#include "StoreCheck.h"
#include "store/FetchStack.h"
#include "store/KeptAnswers.h"
#include "sync/AutoCheck.h"
#include "sync/Maintenance.h"
#include "sync/OnDemandFetch.h"
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
        // The user's own posts come back read.
        const auto own =
            std::count_if(f.data.posts.begin(), f.data.posts.end(),
                          [&](const auto& post) { return post.author == f.data.user; });
        QVERIFY(own > 0);
        QCOMPARE(f.scalar(u"SELECT count(*) FROM Posts WHERE New = 1 AND Sent = 1"_s),
                 int(f.data.posts.size() - own));
        QCOMPARE(f.ctx.log.failureCount(), 0);

        const QStringList lines = f.messages();
        const int posts = int(f.data.posts.size());
        const int comments = int(f.data.comments.size());
        QCOMPARE(lines.first(), u"Соединяюсь с сервером..."_s);
        QCOMPARE(lines[1], u"Внимание: пароль передаётся без шифрования (http://)"_s);
        QCOMPARE(lines[2], u"Загрузка постов..."_s);
        QVERIFY2(QRegularExpression(u"^\\d\\d:\\d\\d:\\d\\d  Загрузка постов\\.\\.\\. 0 из "_s +
                                    QString::number(posts) + u'$')
                     .match(lines[3])
                     .hasMatch(),
                 qPrintable(lines[3]));
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
        QVERIFY(f.messages(before).contains(u"Нет непрочитанных приватных сообщений"_s));
        QVERIFY(f.prompts.questions.isEmpty()); // the usual answer asks nothing
        QCOMPARE(test::storeDifference(f.ctx.db, f.data), QString());
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

    void noConnectionEndsTheRunAtOnce() {
        Fixture f;
        f.storeSomething();
        {
            QTcpServer probe;
            probe.listen(QHostAddress::LocalHost);
            f.ctx.settings.ServiceURL =
                u"http://127.0.0.1:"_s + QString::number(probe.serverPort());
        }
        ReceiveRun(f.ctx.session()).run();
        QCOMPARE(f.messages(),
                 QStringList({u"Соединяюсь с сервером..."_s,
                              u"Внимание: пароль передаётся без шифрования (http://)"_s,
                              u"MainForm.GetPost: Получен нарушенный XML-файл"_s,
                              u"MainForm.GetComment: Получен нарушенный XML-файл"_s,
                              u"MainForm.GetPrivat: Получен нарушенный XML-файл"_s,
                              u"Загрузка списка друзей..."_s,
                              u"MainForm.GetFriend: Получен нарушенный XML файл"_s,
                              u"Получено: постов - 0, комментариев - 0"_s}));
        QCOMPARE(f.prompts.messages.size(), 1);
        QCOMPARE(f.prompts.messages[0].text,
                 u"Запрос к серверу не выполнен.\r\n\r\nСервер отказал в соединении.\r\n"
                 u"Проверьте подключение к интернету и адрес сервиса (ServiceURL) в настройках."_s);
        QCOMPARE(f.count(u"Posts"_s), 1);
    }

    void cancelKeepsWhatWasStoredAndTheNextRunFetchesTheRest() {
        Fixture f(25);
        f.ctx.settings.PostsToGetPerOneSession = u"10"_s;
        // The user cancels while the first batch is on its way: it is still
        // stored, then nothing more goes out.
        QList<std::pair<int, int>> reported;
        RunControl control([&](int done, int total) {
            reported.append({done, total});
            control.requestCancel();
        });
        Session session = f.ctx.session();
        session.control = &control;
        const int requestsBefore = int(f.server.service().documents.size());
        ReceiveRun(session).run();

        QCOMPARE(reported.first(), std::make_pair(0, 25));
        QCOMPARE(f.count(u"Posts"_s), 10);
        QCOMPARE(f.count(u"Comments"_s), 0);
        QCOMPARE(FetchStack(f.ctx.db).waitingCount(FetchStack::Posts), 15);
        QCOMPARE(int(f.server.service().documents.size()) - requestsBefore, 2); // list, batch
        QCOMPARE(f.count(u"AddressBook"_s), 0); // the lists were not asked for
        QCOMPARE(f.ctx.log.failureCount(), 0);
        const QStringList lines = f.messages();
        QCOMPARE(lines.last(), RunControl::CancelledText);
        QCOMPARE(lines[lines.size() - 2],
                 u"Получено: постов - 25, комментариев - 0. Не получено: постов - 15, "
                 u"комментариев - 0 (будут запрошены при следующем обмене)"_s);

        // A new start and a clean run: exactly the stand-in's items, none twice.
        FetchStack(f.ctx.db).deleteFinished();
        ReceiveRun(f.ctx.session()).run();
        QCOMPARE(test::storeDifference(f.ctx.db, f.data), QString());
        QCOMPARE(f.count(u"tmp_MessagesToGet"_s), 0);
    }

    void itemsNotStoredAreNamedInTheFinalLine() {
        Fixture f(20);
        f.ctx.settings.PostsToGetPerOneSession = u"5"_s;
        f.ctx.settings.CommentsToGetPerOneSession = u"50"_s;
        // Posts pass; the comment list passes, its batches are cut.
        f.server.setFault(standin::Fault::Garbage, -1, 0, 6);
        ReceiveRun(f.ctx.session()).run();
        const QString last = f.messages().last();
        const int comments = int(f.data.comments.size());
        QCOMPARE(last, u"Получено: постов - 20, комментариев - "_s + QString::number(comments) +
                           u". Не получено: постов - 0, комментариев - "_s +
                           QString::number(comments) +
                           u" (будут запрошены при следующем обмене)"_s);
    }

    // Every fault of the stand-in, on every request from the Nth on or on the
    // Nth alone: whatever it cuts short, one clean run afterwards leaves the
    // store holding exactly the service's items, none twice.
    void faultsLoseNothing_data() {
        QTest::addColumn<int>("fault");
        QTest::addColumn<int>("skip");
        QTest::addColumn<int>("count");
        const std::pair<const char*, standin::Fault> faults[] = {
            {"http500", standin::Fault::Http500},     {"garbage", standin::Fault::Garbage},
            {"truncated", standin::Fault::Truncated}, {"errorpage", standin::Fault::ErrorPage},
            {"warning", standin::Fault::Warning},     {"drop", standin::Fault::Drop},
            {"silent", standin::Fault::Silent},
        };
        // With 12 posts (batches of 5) and about 120 comments (batches of 40):
        // 0 the post list, 2 a post batch, 4 the comment list, 6 a comment
        // batch, 9 the private messages, 10 the friends lists.
        for (const auto& [name, fault] : faults) {
            for (const int skip : {0, 2, 4, 6, 9, 10}) {
                for (const int count : {1, -1}) {
                    QTest::addRow("%s after %d, %s", name, skip, count < 0 ? "on" : "once")
                        << int(fault) << skip << count;
                }
            }
        }
    }

    void faultsLoseNothing() {
        QFETCH(int, fault);
        QFETCH(int, skip);
        QFETCH(int, count);
        Fixture f(12);
        f.ctx.settings.PostsToGetPerOneSession = u"5"_s;
        f.ctx.settings.CommentsToGetPerOneSession = u"40"_s;
        f.ctx.exchangeTimeout = std::chrono::milliseconds(300); // for the silent service
        f.prompts.answers = {true, true, true};
        f.server.setFault(standin::Fault(fault), count, 0, skip);
        ReceiveRun(f.ctx.session()).run();
        if (standin::Fault(fault) == standin::Fault::Warning) {
            // A warning in front of an intact answer spoils nothing: even the
            // private messages, which the service gives out once, arrive.
            QCOMPARE(f.ctx.log.failureCount(), 0);
            QCOMPARE(test::storeDifference(f.ctx.db, f.data), QString());
            QCOMPARE(f.count(u"PrivateMessages"_s), 5);
        } else {
            QVERIFY(f.ctx.log.failureCount() > 0); // the fault was noticed and reported
        }

        f.server.setFault(standin::Fault::None);
        f.ctx.ConnectionFailed = false;
        f.ctx.exchangeTimeout = std::chrono::seconds(5);
        FetchStack(f.ctx.db).deleteFinished(); // as the next start does
        ReceiveRun(f.ctx.session()).run();
        QCOMPARE(test::storeDifference(f.ctx.db, f.data), QString());
        QCOMPARE(FetchStack(f.ctx.db).waitingCount(FetchStack::Posts) +
                     FetchStack(f.ctx.db).waitingCount(FetchStack::Comments),
                 0);
    }

    void failingStoreLosesNothing() {
        Fixture f(12);
        f.ctx.settings.CommentsToGetPerOneSession = u"30"_s;
        f.ctx.db.execute(u"CREATE TRIGGER full_disk BEFORE INSERT ON Comments BEGIN "
                         u"SELECT RAISE(ABORT, 'database or disk is full'); END"_s);
        ReceiveRun(f.ctx.session()).run();
        QCOMPARE(f.count(u"Comments"_s), 0);
        const QStringList messages = f.messages();
        QVERIFY(std::any_of(messages.begin(), messages.end(), [](const QString& line) {
            return line.startsWith(u"Mod_DB.SaveComments: database or disk is full"_s);
        }));

        f.ctx.db.execute(u"DROP TRIGGER full_disk"_s);
        ReceiveRun(f.ctx.session()).run();
        QCOMPARE(test::storeDifference(f.ctx.db, f.data), QString());
    }

    // The search entries of a group are written after its answers: when they
    // cannot be, the group's messages wait in the stack too.
    void anIndexThatCannotBeWrittenLosesNothing() {
        Fixture f(12);
        f.ctx.settings.CommentsToGetPerOneSession = u"30"_s;
        f.ctx.db.execute(u"DROP TABLE CommentsText"_s);
        f.ctx.db.execute(u"CREATE TABLE CommentsText (Broken)"_s);
        ReceiveRun(f.ctx.session()).run();
        QCOMPARE(f.count(u"Comments"_s), 0);
        QVERIFY(f.ctx.log.failureCount() > 0);

        f.ctx.db.execute(u"DROP TABLE CommentsText"_s);
        f.ctx.db.execute(u"CREATE VIRTUAL TABLE CommentsText USING fts5(Author, Title, Body, "
                         u"tokenize = 'ascii', columnsize = 0)"_s);
        ReceiveRun(f.ctx.session()).run();
        QCOMPARE(test::storeDifference(f.ctx.db, f.data), QString());
    }

    // Answers are stored in groups, each answer on its own: one that cannot
    // be stored costs its own items only, and they wait for the next run.
    void anAnswerThatFailsCostsOnlyItsOwnItems() {
        Fixture f(12);
        f.ctx.settings.CommentsToGetPerOneSession = u"30"_s;
        const int comments = int(f.data.comments.size());
        const int failing = f.data.comments.back().id; // the last answer: nothing stored after
        f.ctx.db.execute(
            u"CREATE TRIGGER full_disk BEFORE INSERT ON Comments WHEN NEW.CommentID = '"_s +
            QString::number(failing) +
            u"' BEGIN SELECT RAISE(ABORT, 'database or disk is full'); END"_s);
        ReceiveRun(f.ctx.session()).run();
        const int missing = comments - f.count(u"Comments"_s);
        QVERIFY2(missing > 0 && missing <= 30, qPrintable(QString::number(missing)));
        QCOMPARE(test::indexDifference(f.ctx.db), QString());

        f.ctx.db.execute(u"DROP TRIGGER full_disk"_s);
        ReceiveRun(f.ctx.session()).run();
        QCOMPARE(test::storeDifference(f.ctx.db, f.data), QString());
    }

    // Private messages are marked read by the service as it answers: an
    // answer that cannot be stored is kept, and the next run stores it.
    void privateMessagesSurviveAFailingStore() {
        Fixture f(2);
        f.ctx.db.execute(u"CREATE TRIGGER full_disk BEFORE INSERT ON PrivateMessages BEGIN "
                         u"SELECT RAISE(ABORT, 'database or disk is full'); END"_s);
        ReceiveRun(f.ctx.session()).GetPrivat();
        QCOMPARE(f.count(u"PrivateMessages"_s), 0);
        QCOMPARE(f.count(u"tmp_KeptAnswers"_s), 1);

        f.ctx.db.execute(u"DROP TRIGGER full_disk"_s);
        ReceiveRun run(f.ctx.session());
        run.GetPrivat(); // the service has none left: the kept answer brings them
        QCOMPARE(f.count(u"PrivateMessages"_s), 5);
        QCOMPARE(run.PrivatesReceived, 5);
        QCOMPARE(f.count(u"tmp_KeptAnswers"_s), 0);
        QVERIFY(f.messages().contains(u"Нет непрочитанных приватных сообщений"_s));
        ReceiveRun(f.ctx.session()).GetPrivat();
        QCOMPARE(f.count(u"PrivateMessages"_s), 5); // none twice
    }

    // A refused password (or any refusal) is never "nothing new": the run
    // stops at the first answer with the service's words, makes no further
    // exchange and changes nothing.
    void aRefusalStopsTheRunAndChangesNothing_data() {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("line");
        const QString refusal = u"Сервер вернул ошибку №3 (Ошибка авторизации)"_s;
        QTest::newRow("receive") << u"receive"_s << u"MainForm.GetPost: "_s + refusal;
        QTest::newRow("check") << u"check"_s << u"MainForm.GetPost: "_s + refusal;
        QTest::newRow("comments") << u"comments"_s << u"MainForm.GetComment: "_s + refusal;
        QTest::newRow("stacked") << u"stacked"_s << u"Mod_Qrys.GetMessagesFromStack: "_s + refusal;
        QTest::newRow("privates") << u"privates"_s << u"MainForm.GetPrivat: "_s + refusal;
        QTest::newRow("friends") << u"friends"_s << u"MainForm.GetFriends: "_s + refusal;
        QTest::newRow("all comments")
            << u"all comments"_s << u"Mod_Qrys.BuildIDstack: "_s + refusal;
        QTest::newRow("smileys") << u"smileys"_s << u"MainForm.mnu_GetSmiles_Click: "_s + refusal;
    }

    void aRefusalStopsTheRunAndChangesNothing() {
        QFETCH(QString, command);
        QFETCH(QString, line);
        Fixture f(3);
        f.ctx.settings.CheckTime_Posts = u"01.01.2006 00:00:00"_s;
        FetchStack(f.ctx.db).add({QString::number(f.data.posts[0].id)}, FetchStack::Posts);
        f.ctx.settings.Password = u"не тот"_s;
        const QStringList stack = test::rows(f.ctx.db, u"SELECT * FROM tmp_MessagesToGet"_s);
        const Session session = f.ctx.session();
        ReceiveRun run(session);
        if (command == u"receive"_s) {
            run.run();
        } else if (command == u"check"_s) {
            QCOMPARE(AutoCheck::run(session, Options()).refusal, line);
        } else if (command == u"comments"_s) {
            run.GetComment();
            run.GetPrivat();
        } else if (command == u"stacked"_s) {
            run.fetcher().GetMessagesFromStack(FetchStack::Posts, 1);
        } else if (command == u"privates"_s) {
            run.GetPrivat();
            run.GetFriends();
        } else if (command == u"friends"_s) {
            run.GetFriends();
        } else if (command == u"all comments"_s) {
            OnDemandFetch::GetAllComments(
                session, u"friendpostkey-"_s + QString::number(f.data.posts[0].id) + u"-1"_s);
        } else {
            OnDemandFetch::GetSmiles(session);
        }
        QCOMPARE(f.server.received().size(), 1);
        QVERIFY2(f.messages().contains(line), qPrintable(f.messages().join(u'\n')));
        QCOMPARE(f.ctx.log.failureCount(), 1);
        QVERIFY(f.prompts.questions.isEmpty());
        QCOMPARE(test::rows(f.ctx.db, u"SELECT * FROM tmp_MessagesToGet"_s), stack);
        QCOMPARE(f.ctx.settings.CheckTime_Posts, u"01.01.2006 00:00:00"_s);
        QCOMPARE(f.count(u"Posts"_s) + f.count(u"AddressBook"_s) + f.count(u"Smiles"_s), 0);
        if (command == u"receive"_s) {
            QCOMPARE(f.messages().last(), line); // not "Получено: постов - 0, ..."
        }
    }

    void anItemTheServiceNeverReturnsIsGivenUp() {
        Fixture f(2);
        FetchStack(f.ctx.db).add({u"999"_s, QString::number(f.data.posts[0].id)},
                                 FetchStack::Posts);
        const auto fetch = [&] {
            ReceiveRun(f.ctx.session()).fetcher().GetMessagesFromStack(FetchStack::Posts, 10);
        };
        fetch();
        fetch();
        QCOMPARE(FetchStack(f.ctx.db).waiting(FetchStack::Posts), QStringList{u"999"_s});
        QCOMPARE(f.ctx.log.failureCount(), 0);
        fetch();
        QVERIFY(FetchStack(f.ctx.db).waiting(FetchStack::Posts).isEmpty());
        QVERIFY(f.messages().contains(u"Mod_Qrys.GetMessagesFromStack: сервер не вернул сообщение "
                                      u"999 ни в одном из 3 последних ответов, оно больше не "
                                      u"запрашивается"_s));
        fetch(); // nothing left to ask for, nothing logged again
        QCOMPARE(f.ctx.log.failureCount(), 1);
        QCOMPARE(f.count(u"Posts"_s), 1);
    }

    void aListAtTheLimitSaysSo() {
        Fixture f(7);
        f.ctx.settings.MaxPost = u"7"_s;
        ReceiveRun(f.ctx.session()).GetPost();
        QVERIFY(f.messages().contains(u"Сервер вернул максимум (7) — часть новых сообщений могла "
                                      u"не поместиться; увеличьте MaxPost в настройках"_s));
    }

    void requestIsSentAtMostOnce() {
        Fixture f(3);
        ReceiveRun run(f.ctx.session());
        run.GetPost();
        run.GetComment();
        f.server.setFault(standin::Fault::Drop, 1); // the private messages' request
        const qsizetype before = f.server.received().size();
        run.GetPrivat();
        QCOMPARE(f.server.received().size(), before + 1); // not sent again on its own
        run.GetFriends(); // the connection failed in this run: not even tried
        QCOMPARE(f.server.received().size(), before + 1);
        QVERIFY(f.prompts.messages[0].text.contains(u"Сервер закрыл соединение, не ответив."_s));
    }

    void friendsListsChangeOnlyWithAUsableAnswer() {
        Fixture f(0);
        f.data.buddies = {u"vova"_s, u"anna"_s, u"marta"_s};
        f.data.readers = {u"marta"_s, u"boris"_s};
        const auto update = [&] {
            ReceiveRun(f.ctx.session()).GetFriends();
            return f.count(u"AddressBook"_s);
        };
        const int all = int(f.data.buddies.size() + f.data.readers.size());
        QCOMPARE(update(), all);
        QCOMPARE(f.prompts.texts.size(), 2); // new friends, new readers
        QCOMPARE(update(), all);
        QCOMPARE(f.prompts.texts.size(), 2); // nothing changed: nothing shown

        const QString gone = f.data.buddies.takeFirst();
        QCOMPARE(update(), all - 1);
        QCOMPARE(f.prompts.texts.last().text, u"Список друзей уменьшился на 1 чел.:\r\n"_s + gone);

        // Broken answers, and an error answered Yes or No, change nothing.
        for (const auto fault : {standin::Fault::Http500, standin::Fault::ErrorPage,
                                 standin::Fault::Truncated, standin::Fault::Garbage}) {
            f.server.setFault(fault, 1);
            QCOMPARE(update(), all - 1);
        }
        const QString password = f.ctx.settings.Password;
        f.ctx.settings.Password = u"wrong"_s;
        for (const bool goOn : {true, false}) {
            f.prompts.answers = {goOn};
            QCOMPARE(update(), all - 1);
        }
        QCOMPARE(f.prompts.texts.size(), 3);

        f.ctx.settings.Password = password;
        f.data.buddies.clear();
        f.data.readers.clear();
        QCOMPARE(update(), 0); // an answer naming nobody: everyone has left
    }

    void purgeKeepsUnreadUnsentAndRecent() {
        Fixture f(0);
        f.ctx.settings.ShowLastDays = 5;
        f.ctx.settings.ShowLastDaysRead = true;
        f.ctx.db.execute(u"INSERT INTO Posts (PostID, New, Sent, AddDate) VALUES "
                         u"('old-read', 0, 1, '2006-02-20 10:00:00'), ('old-unread', 1, 1, "
                         u"'2006-02-20 10:00:00'),"
                         u"('recent', 0, 1, '2006-02-25 00:00:00'), "
                         u"('unsent', 0, 0, '2006-01-01 00:00:00')"_s);
        f.ctx.db.execute(u"INSERT INTO Comments (CommentID, PostID, New, Sent, AddDate) VALUES "
                         u"('c1', 'old-read', 1, 1, '2006-02-26 10:00:00')," // of a post that goes
                         u"('c2', 'old-read', 0, 0, '2006-01-01 00:00:00')," // unsent: stays
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

    void badDaysSettingNeverWidensThePurge() {
        Fixture f(0);
        f.ctx.db.execute(
            u"UPDATE iniSettings SET iniValue = '' WHERE iniVariable = 'ShowLastDays'"_s);
        SettingsStore(f.ctx.db, f.ctx.log).ReadINI(f.ctx.settings);
        QCOMPARE(f.messages().last(), u"Mod_DB.ReadINI: Несоответствие типа"_s);
        f.ctx.db.execute(u"INSERT INTO Posts (PostID, New, Sent, AddDate) VALUES "
                         u"('13 days', 0, 1, '2006-02-17 10:00:00'), "
                         u"('15 days', 0, 1, '2006-02-15 10:00:00')"_s);
        DeleteOldRecords(f.ctx.session(), QDate(2006, 3, 2)); // 14 days: cut-off 16.02.2006
        QSqlQuery q = f.ctx.db.prepare(u"SELECT group_concat(PostID) FROM Posts"_s);
        Database::exec(q);
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), u"13 days"_s);

        f.ctx.settings.ShowLastDays = -3; // never a cut-off in the future
        f.ctx.settings.ShowLastDaysRead = true;
        DeleteOldRecords(f.ctx.session(), QDate(2006, 3, 2));
        QCOMPARE(f.count(u"Posts"_s), 1);
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
