#include "ExchangeFixture.h"
#include "StoreCheck.h"
#include "app/ThreadedPrompts.h"
#include "exchange/SendQueries.h"
#include "render/Markup.h"
#include "store/Outbox.h"
#include "sync/ReceiveRun.h"
#include "sync/SendRun.h"
#include "tree/TreeBuilder.h"

#include <QSqlRecord>
#include <QTcpServer>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace orv;
using Kind = MessageRef::Kind;

namespace {

const QString kDate = u"2006-03-05 09:07:00"_s;

struct Fixture : test::ExchangeFixture {
    Outbox outbox{ctx.db};

    explicit Fixture(int posts = 3)
        : ExchangeFixture(posts) {}

    qint64 post(const QString& header, const QString& message = u"Текст"_s,
                const QString& date = kDate) {
        OutgoingMessage m;
        m.header = header;
        m.message = message;
        m.date = date;
        m.userName = data.user;
        return outbox.addPost(m);
    }
    // A comment on a post the stand-in has.
    qint64 comment(const QString& message, int postIndex = 0) {
        OutgoingMessage m;
        m.kind = Kind::Comment;
        m.header = u" "_s;
        m.message = message;
        m.date = kDate;
        m.userName = data.user;
        m.postId = QString::number(data.posts[size_t(postIndex)].id);
        return outbox.addComment(m);
    }
    qint64 privateTo(const QString& recipient, const QString& message) {
        OutgoingMessage m;
        m.kind = Kind::Private;
        m.message = message;
        m.date = kDate;
        m.userName = recipient;
        return outbox.addPrivate(m);
    }

    QStringList column(const QString& sql) { return test::rows(ctx.db, sql); }
    // Every outgoing row with every column: what a fault must leave as it was.
    QStringList outgoingRows() {
        return column(u"SELECT * FROM Posts WHERE Sent = 0 ORDER BY ThisID"_s) +
               column(u"SELECT * FROM Comments WHERE Sent = 0 ORDER BY ThisID"_s) +
               column(u"SELECT * FROM PrivateMessages WHERE Out = 1 ORDER BY ID"_s);
    }
    qsizetype unsent() {
        return outbox.unsentCount(Kind::Post) + outbox.unsentCount(Kind::Comment) +
               outbox.unsentCount(Kind::Private);
    }
    QStringList messages() {
        QStringList texts;
        for (const QString& line : ctx.log.lines()) {
            texts.append(line.mid(10));
        }
        return texts;
    }
    QList<int> queriesPerRequest() {
        QList<int> counts;
        for (const auto& document : server.service().documents) {
            counts.append(int(document.queries.size()));
        }
        return counts;
    }
    int storedOnService(const QString& message) {
        int n = 0;
        for (const auto& p : data.posts) {
            n += p.message == message;
        }
        for (const auto& c : data.comments) {
            n += c.message == message;
        }
        for (const auto& p : data.sentPrivates) {
            n += p.message == message;
        }
        return n;
    }
    void send() { SendRun(ctx.session()).run(); }
    void apply(const QString& results) {
        SendRun(ctx.session())
            .MakeMessagesSent(u"<?xml version='1.0' encoding='windows-1251'?><results>"_s +
                              results + u"</results>"_s);
    }
};

QString acceptedPost(qint64 key, const QString& postId, const QString& journalId) {
    return u"<RESULT QID='post-"_s + QString::number(key) + u"' ERROR='0'><ITEM><POSTID>"_s +
           postId + u"</POSTID><JOURNALID>"_s + journalId +
           u"</JOURNALID><MESSAGEDATE>05.03.2006 09:07:00</MESSAGEDATE></ITEM></RESULT>"_s;
}

} // namespace

class SendTest : public QObject {
    Q_OBJECT

private slots:
    void queryElementsAreWrittenByteForByte() {
        OutgoingMessage post;
        post.key = 17;
        post.header = u"Кот & <пёс>"_s;
        post.message = u"«Привет»"_s;
        post.date = kDate;
        post.attachPath = u"/home/me/cat.jpg"_s;
        post.parseUrl = post.noComment = post.privatePost = post.subscribe = true;
        QCOMPARE(SendQueries::queryElement(post),
                 u"<query QID='post-17' TYPE='3'>\r\n"
                 u"<headerofpost>Кот &amp; &lt;пёс&gt;</headerofpost>\r\n"
                 u"<message>&amp;laquo;Привет&amp;raquo;</message>\r\n"
                 u"<messagedate>05.03.2006 9:07:00</messagedate>\r\n"
                 u"<attachfile>Post17</attachfile>\r\n"
                 u"<parseurl>1</parseurl>\r\n<nocomment>1</nocomment>\r\n"
                 u"<privatepost>1</privatepost>\r\n<commentsubscribe>1</commentsubscribe>\r\n"
                 u"</query>\r\n"_s);

        OutgoingMessage comment;
        comment.kind = Kind::Comment;
        comment.key = 5;
        comment.header = u" "_s;
        comment.message = u"Да"_s;
        comment.date = u"2006-03-05 00:00:00"_s; // midnight: the date alone
        comment.postId = u"10'20"_s;
        comment.noComment = comment.privatePost = true; // a comment has neither
        QCOMPARE(SendQueries::queryElement(comment),
                 u"<query QID='comment-5' TYPE='1'>\r\n<headerofpost> </headerofpost>\r\n"
                 u"<message>Да</message>\r\n<messagedate>05.03.2006</messagedate>\r\n"
                 u"<jpostid>10&apos;20</jpostid>\r\n</query>\r\n"_s);

        OutgoingMessage message;
        message.kind = Kind::Private;
        message.key = 9;
        message.message = u"Привет"_s;
        message.userName = u"o'neil"_s;
        QCOMPARE(SendQueries::queryElement(message),
                 u"<query QID='privat-9' TYPE='4'>\r\n<message>Привет</message>\r\n"
                 u"<headerofpost> </headerofpost>\r\n<tousername>o&apos;neil</tousername>\r\n"
                 u"<parseurl>1</parseurl>\r\n</query>\r\n"_s);

        message.date = u"2006-03-05 21:07:05"_s;
        post.date = message.date;
        QVERIFY(SendQueries::queryElement(post).contains(u">05.03.2006 21:07:05<"_s));
    }

    void documentSkipsRowsThatAreGone() {
        Fixture f;
        f.ctx.settings.UserName = u"o'neil"_s;
        f.ctx.settings.Password = u"<&>"_s;
        const qint64 first = f.post(u"Один"_s);
        const qint64 gone = f.post(u"Два"_s);
        const qint64 third = f.post(u"Три"_s);
        f.ctx.db.execute(u"DELETE FROM Posts WHERE ThisID = "_s + QString::number(gone));
        const QString document = SendQueries::BuildSendPostQuery(f.ctx.settings, f.outbox,
                                                                 {first, gone, third}, u"Post"_s);
        QVERIFY(document.startsWith(u"<?xml version='1.0' encoding='utf-8'?>\r\n<QUERYS "
                                    u"username='o&apos;neil' password='&lt;&amp;&gt;' "
                                    u"mainid='1'>\r\n<query QID='post-"_s +
                                    QString::number(first) + u"' TYPE='3'>"_s));
        QVERIFY(document.endsWith(u"</query>\r\n\r\n</QUERYS>"_s));
        QCOMPARE(document.count(u"<query "_s), 2);
        QVERIFY(!document.contains(u"Два"_s));
        QVERIFY(document.contains(u"</query>\r\n\r\n<query QID='post-"_s + QString::number(third)));
        QCOMPARE(SendQueries::BuildSendPostQuery(f.ctx.settings, f.outbox, {first}, u"Forum"_s),
                 QString());
    }

    void kindsGoInOrderInBatchesOfTheirSize() {
        Fixture f;
        f.ctx.settings.PostsToSendPerOneSession = u"3"_s;
        f.ctx.settings.CommentsToSendPerOneSession = u"2"_s;
        QList<qint64> posts;
        for (int i = 1; i <= 7; ++i) {
            posts.append(f.post(u"Пост "_s + QString::number(i), u"Текст "_s + QString::number(i)));
        }
        for (int i = 1; i <= 3; ++i) {
            f.comment(u"Коммент "_s + QString::number(i));
        }
        f.privateTo(f.data.buddies.first(), u"Привет 1"_s);
        f.privateTo(f.data.buddies.first(), u"Привет 2"_s);
        f.send();

        QCOMPARE(f.queriesPerRequest(), (QList<int>{3, 3, 1, 2, 1, 2}));
        const auto& documents = f.server.service().documents;
        QCOMPARE(documents[2].queries.first().qid, u"post-"_s + QString::number(posts.last()));
        QCOMPARE(documents[3].queries.first().type, u"1"_s);
        QCOMPARE(documents[5].queries.first().type, u"4"_s);
        QCOMPARE(f.unsent(), 0);
        QCOMPARE(f.ctx.log.failureCount(), 0);
        QCOMPARE(f.messages().first(), u"Отправляю сообщения..."_s);
        QCOMPARE(f.messages().last(), u"Операция завершена"_s);
        QVERIFY(!QFile::exists(f.ctx.folder.PostFilePath()));
    }

    void acceptedMessagesTakeTheServiceIdentifiers() {
        Fixture f;
        const qint64 post = f.post(u"Заголовок"_s);
        const qint64 comment = f.comment(u"Мой коммент"_s, 1);
        const qint64 message = f.privateTo(f.data.buddies.first(), u"Лично"_s);
        f.send();

        const standin::Post& published = f.data.posts.back();
        QCOMPARE(published.header, u"Заголовок"_s);
        QCOMPARE(f.column(u"SELECT PostID, JournalID, Sent, AddDate <> '' FROM Posts WHERE "
                          u"ThisID = "_s +
                          QString::number(post)),
                 QStringList{QString::number(published.id) + u'|' +
                             QString::number(published.journalId) + u"|1|1"_s});
        const standin::Comment& answered = f.data.comments.back();
        QCOMPARE(answered.message, u"Мой коммент"_s);
        QCOMPARE(f.column(u"SELECT CommentID, PostID, JournalID, Sent FROM Comments WHERE "
                          u"ThisID = "_s +
                          QString::number(comment)),
                 QStringList{QString::number(answered.id) + u'|' +
                             QString::number(f.data.posts[1].id) + u'|' +
                             QString::number(answered.journalId) + u"|1"_s});
        QCOMPARE(
            f.column(u"SELECT Sent FROM PrivateMessages WHERE ID = "_s + QString::number(message)),
            QStringList{u"1"_s});
        QCOMPARE(f.data.sentPrivates.back().to, f.data.buddies.first());

        // Nothing left: no exchange at all, only the two lines.
        const qsizetype requests = f.server.received().size();
        const qsizetype lines = f.messages().size();
        f.send();
        QCOMPARE(f.server.received().size(), requests);
        QCOMPARE(f.messages().mid(lines),
                 (QStringList{u"Отправляю сообщения..."_s, u"Операция завершена"_s}));
    }

    void resultsChangeOnlyUnsentPostsAndSkipWhatTheyCannotApply() {
        Fixture f;
        const qint64 sent = f.post(u"Уже"_s);
        f.apply(acceptedPost(sent, u"500"_s, u"7"_s));
        f.apply(acceptedPost(sent, u"501"_s, u"8"_s)); // already sent: unchanged
        QCOMPARE(f.column(u"SELECT PostID, JournalID FROM Posts"_s), QStringList{u"500|7"_s});

        // A deleted row, a result without ERROR and a QID without a hyphen
        // are reported; the accepted result after them still counts.
        const qint64 waiting = f.post(u"Ждёт"_s);
        f.apply(u"<RESULT QID='post-999' ERROR='63'/><RESULT QID='post-"_s +
                QString::number(waiting) + u"'/><RESULT QID='post"_s + QString::number(waiting) +
                u"' ERROR='0'/><RESULT QID='forum-1' ERROR='0'/>"_s +
                acceptedPost(waiting, u"600"_s, u"7"_s));
        QCOMPARE(f.column(u"SELECT PostID, Sent FROM Posts WHERE ThisID = "_s +
                          QString::number(waiting)),
                 QStringList{u"600|1"_s});
        QCOMPARE(f.ctx.log.failureCount(), 3);
        QVERIFY(f.messages().contains(
            u"Mod_DB.MakeMessagesSent: нет неотправленного сообщения post-999 в базе"_s));
        QVERIFY(f.prompts.questions.isEmpty());
    }

    void aRejectedCommentIsKeptOrDeletedAsTheUserSays() {
        Fixture f;
        f.ctx.db.execute(u"INSERT INTO Posts (PostID, uName, Sent) VALUES ('"_s +
                         QString::number(f.data.posts[0].id) + u"', 'хозяйка', 1)"_s);
        const qint64 comment = f.comment(u"Повтор"_s);
        f.server.service().reject(u"comment-"_s + QString::number(comment), u"63"_s);
        f.prompts.answers = {true}; // Да: keep it for editing
        const QStringList before = f.outgoingRows();
        f.send();
        QCOMPARE(f.prompts.questions,
                 QStringList{u"|При отправке комментария от 05.03.2006 9:07:00 в дневник юзера "
                             u"хозяйка возникла ошибка №63 (Защита от флуда (только что было "
                             u"добавлено такое же сообщение))\r\n'Да' - оставить коммент для "
                             u"дальнейшего редактирования\r\n'Нет' - удалить коммент"_s});
        QCOMPARE(f.outgoingRows(), before);
        QVERIFY(
            f.messages().contains(u"Не отправлено: постов - 0, комментариев - 1, приватов - 0"_s));

        f.prompts.answers = {false}; // Нет: delete it
        f.send();
        QCOMPARE(f.prompts.questions.size(), 2);
        QCOMPARE(f.unsent(), 0);
        QVERIFY(f.column(u"SELECT * FROM Comments"_s).isEmpty());
    }

    void rejectedPostsAndPrivatesAreAskedInThePostWording() {
        Fixture f;
        f.post(u"Дважды"_s, u"Одно и то же"_s);
        f.post(u"Дважды"_s, u"Одно и то же"_s, u"2006-03-05 00:00:00"_s); // flooded
        f.privateTo(u"никто"_s, u"Кому?"_s);                              // an unknown recipient
        f.prompts.answers = {true, false};
        f.send();
        QCOMPARE(f.prompts.questions.size(), 2);
        QVERIFY(f.prompts.questions[0].startsWith(
            u"|При отправке поста от 05.03.2006 возникла ошибка №63 (Защита от флуда"_s));
        QVERIFY(f.prompts.questions[0].endsWith(
            u"\r\n'Да' - оставить пост для дальнейшего редактирования\r\n'Нет' - удалить пост"_s));
        QVERIFY(f.prompts.questions[1].startsWith(
            u"|При отправке поста от 05.03.2006 9:07:00 возникла ошибка №31 (Неверное имя"_s));
        QCOMPARE(f.outbox.unsentCount(Kind::Post), 1);
        QCOMPARE(f.column(u"SELECT count(*) FROM PrivateMessages"_s), QStringList{u"0"_s});
        QCOMPARE(f.storedOnService(u"Одно и то же"_s), 1);
    }

    void aWrongPasswordKeepsEverythingWhenKept() {
        Fixture f;
        f.ctx.settings.Password = u"не тот"_s;
        f.post(u"Пост"_s);
        f.prompts.answers = {true};
        const QStringList before = f.outgoingRows();
        f.send();
        QVERIFY(f.prompts.questions.first().contains(u"ошибка №3 (Ошибка авторизации)"_s));
        QCOMPARE(f.outgoingRows(), before);
    }

    void aWarningBeforeTheDeclarationDoesNotHideTheResults() {
        Fixture f;
        f.post(u"С предупреждением"_s);
        f.server.setFault(standin::Fault::Warning, 1);
        f.send();
        QCOMPARE(f.unsent(), 0);
        QCOMPARE(f.ctx.log.failureCount(), 0);
    }

    void badAnswersLoseAndDuplicateNothing_data() {
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("reported");
        const auto row = [](const char* name, standin::Fault fault, const QString& reported) {
            QTest::newRow(name) << int(fault) << reported;
        };
        const QString noXml = u"Mod_DB.MakeMessagesSent: При публиковании сообщений сервер не "
                              u"вернул XML-ответ."_s;
        row("drop", standin::Fault::Drop, noXml);
        row("http500", standin::Fault::Http500, noXml);
        row("garbage", standin::Fault::Garbage, noXml);
        row("error page", standin::Fault::ErrorPage, noXml);
        row("silent", standin::Fault::Silent, noXml);
        row("truncated", standin::Fault::Truncated,
            u"MakeMessagesSent:: Структура XML-файла нарушена."_s);
    }

    void badAnswersLoseAndDuplicateNothing() {
        QFETCH(int, fault);
        QFETCH(QString, reported);
        Fixture f;
        f.ctx.exchangeTimeout = std::chrono::seconds(1);
        ReceiveRun(f.ctx.session()).run();
        f.ctx.settings.PostsToSendPerOneSession = u"2"_s;
        const QStringList texts = {u"Первый"_s, u"Второй"_s, u"Третий"_s};
        for (const QString& text : texts) {
            f.post(u"Заголовок "_s + text, text);
        }
        f.comment(u"Коммент"_s);
        f.privateTo(f.data.buddies.first(), u"Лично"_s);
        const QStringList before = f.outgoingRows();

        f.server.setFault(standin::Fault(fault));
        f.send();
        QCOMPARE(f.outgoingRows(), before);
        const QStringList lines = f.messages();
        QVERIFY2(std::any_of(lines.begin(), lines.end(),
                             [&](const QString& line) { return line.startsWith(reported); }),
                 qPrintable(lines.join(u'\n')));

        // A clean run publishes the rest; what the service took already is
        // refused as a repeat, and the user lets the local copy go.
        f.server.setFault(standin::Fault::None);
        f.ctx.ConnectionFailed = false;
        f.prompts.answers = QList<bool>(10, false);
        f.send();
        QCOMPARE(f.unsent(), 0);
        for (const QString& question : f.prompts.questions) {
            QVERIFY2(question.contains(u"ошибка №63"_s), qPrintable(question)); // only repeats
        }
        ReceiveRun(f.ctx.session()).run();
        QCOMPARE(test::storeDifference(f.ctx.db, f.data), QString());
        for (const QString& text : texts + QStringList{u"Коммент"_s, u"Лично"_s}) {
            QCOMPARE(f.storedOnService(text), 1);
        }
    }

    void cancelSendsTheBatchInFlightAndKeepsTheRestWaiting() {
        Fixture f;
        f.ctx.settings.PostsToSendPerOneSession = u"2"_s;
        for (int i = 1; i <= 5; ++i) {
            f.post(u"Пост"_s, u"Отменяемый "_s + QString::number(i));
        }
        f.comment(u"Отменяемый коммент"_s);
        QList<std::pair<int, int>> reported;
        RunControl control([&](int done, int total) {
            reported.append({done, total});
            if (done > 0) {
                control.requestCancel(); // after the first batch was answered
            }
        });
        Session session = f.ctx.session();
        session.control = &control;
        SendRun(session).run();

        QCOMPARE(reported, (QList<std::pair<int, int>>{{0, 6}, {2, 6}}));
        QCOMPARE(f.queriesPerRequest(), (QList<int>{2}));
        QCOMPARE(f.outbox.unsentCount(Kind::Post), 3);
        QCOMPARE(f.outbox.unsentCount(Kind::Comment), 1);
        QCOMPARE(f.ctx.log.failureCount(), 0);
        QCOMPARE(f.messages().mid(f.messages().size() - 2),
                 (QStringList{u"Не отправлено: постов - 3, комментариев - 1, приватов - 0"_s,
                              RunControl::CancelledText}));

        f.send(); // the next run publishes the rest, each message once
        QCOMPARE(f.unsent(), 0);
        for (int i = 1; i <= 5; ++i) {
            QCOMPARE(f.storedOnService(u"Отменяемый "_s + QString::number(i)), 1);
        }
        QCOMPARE(f.storedOnService(u"Отменяемый коммент"_s), 1);
    }

    void withoutAConnectionTheRunStopsAtTheFirstBatch() {
        Fixture f;
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        f.ctx.settings.ServiceURL = u"http://127.0.0.1:"_s + QString::number(closed.serverPort());
        closed.close();
        f.ctx.settings.PostsToSendPerOneSession = u"3"_s;
        for (int i = 0; i < 7; ++i) {
            f.post(u"Пост"_s, QString::number(i));
        }
        f.comment(u"Коммент"_s);
        const QStringList before = f.outgoingRows();
        f.send();
        QCOMPARE(f.outgoingRows(), before);
        QCOMPARE(f.prompts.messages.size(), 1); // the connection box, once
        QCOMPARE(f.ctx.log.failureCount(), 1);
        QCOMPARE(f.messages().mid(f.messages().size() - 2),
                 (QStringList{u"Не отправлено: постов - 7, комментариев - 1, приватов - 0"_s,
                              u"Операция завершена"_s}));
    }

    void aBadBatchSizeStopsTheRunAndLosesNothing_data() {
        QTest::addColumn<QString>("size");
        QTest::addColumn<QString>("error");
        QTest::newRow("zero") << u"0"_s
                              << u"размер пакета должен быть целым числом больше "
                                 u"нуля, а не 0"_s;
        QTest::newRow("negative") << u"-3"_s
                                  << u"размер пакета должен быть целым числом "
                                     u"больше нуля, а не -3"_s;
        QTest::newRow("fraction") << u"2.5"_s
                                  << u"размер пакета должен быть целым числом "
                                     u"больше нуля, а не 2.5"_s;
        QTest::newRow("text") << u"пять"_s << u"Несоответствие типа"_s;
    }

    void aBadBatchSizeStopsTheRunAndLosesNothing() {
        QFETCH(QString, size);
        QFETCH(QString, error);
        Fixture f;
        f.ctx.settings.CommentsToSendPerOneSession = size;
        f.post(u"Пост"_s);
        f.comment(u"Коммент"_s);
        f.privateTo(f.data.buddies.first(), u"Лично"_s);
        f.send();
        QCOMPARE(f.outbox.unsentCount(Kind::Post), 0); // sent before the bad setting
        QCOMPARE(f.outbox.unsentCount(Kind::Comment), 1);
        QCOMPARE(f.outbox.unsentCount(Kind::Private), 1); // later kinds wait too
        QVERIFY(f.messages().contains(u"Mod_Qrys.SendMessages: "_s + error));
        QCOMPARE(f.server.service().documents.size(), 1);
    }

    void textsReachTheServiceIntactAndComeBackOnce() {
        Fixture f;
        ReceiveRun(f.ctx.session()).run();
        const QString header = u"'Кот' <b> & \"пёс\" «ёж» 日"_s;
        const QString body = u"Строка 1\n<i>'a' & \"b\"</i> — €"_s;
        const qint64 key = f.post(header, body);
        f.comment(u"Ответ & <ответ>"_s);
        f.send();
        QCOMPARE(f.unsent(), 0);
        // The service keeps the entity form: one XML decoding of what went out.
        const standin::Post& published = f.data.posts.back();
        QCOMPARE(published.header, u"'Кот' <b> & &quot;пёс&quot; &laquo;ёж&raquo; &#26085;"_s);
        QCOMPARE(published.message, u"Строка 1\n<i>'a' & &quot;b&quot;</i> — €"_s);
        QCOMPARE(f.data.comments.back().message, u"Ответ & <ответ>"_s);

        ReceiveRun(f.ctx.session()).run();
        QCOMPARE(test::storeDifference(f.ctx.db, f.data), QString());
        QCOMPARE(f.column(u"SELECT Header FROM Posts WHERE ThisID = "_s + QString::number(key)),
                 QStringList{published.header});
        QVERIFY(Markup::Entities2Text(published.header).startsWith(u"'Кот' <b> & \"пёс\" «ёж»"_s));
        const TreeSnapshot tree = TreeBuilder(f.ctx.settings, &f.ctx.db).build();
        const auto shown = std::count_if(tree.nodes.begin(), tree.nodes.end(), [&](const auto& n) {
            return tree.key(n) == u"friendpostkey-"_s + QString::number(published.id) + u'-' +
                                      QString::number(key);
        });
        QCOMPARE(shown, 1);
    }

    void aRowTheStoreRefusesIsReportedAndTheRestApplied() {
        Fixture f;
        const qint64 post = f.post(u"Пост"_s);
        const qint64 comment = f.comment(u"Коммент"_s);
        f.ctx.db.execute(u"CREATE TRIGGER fail BEFORE UPDATE ON Comments BEGIN "
                         u"SELECT RAISE(ABORT, 'диск полон'); END"_s);
        f.apply(acceptedPost(post, u"1"_s, u"2"_s) + u"<RESULT QID='comment-"_s +
                QString::number(comment) +
                u"' ERROR='0'><ITEM><POSTID>1</POSTID><JOURNALID>2</JOURNALID>"
                u"<COMMID>3</COMMID></ITEM></RESULT>"_s);
        QCOMPARE(f.outbox.unsentCount(Kind::Post), 0); // not published twice
        QCOMPARE(f.outbox.unsentCount(Kind::Comment), 1);
        QCOMPARE(f.ctx.log.failureCount(), 1);
        QVERIFY2(f.messages().last().startsWith(u"Mod_DB.MakeMessagesSent: "_s) &&
                     f.messages().last().endsWith(u"(comment-"_s + QString::number(comment) + u')'),
                 qPrintable(f.messages().last()));
    }

    void acceptedResultsAreStoredBeforeAnyQuestion() {
        Fixture f;
        const qint64 accepted = f.post(u"Принят"_s);
        const qint64 rejected = f.post(u"Отклонён"_s);
        QString sentWhenAsked;
        f.prompts.onAsk = [&] {
            sentWhenAsked =
                f.column(u"SELECT Sent FROM Posts WHERE ThisID = "_s + QString::number(accepted))
                    .join(u',');
        };
        f.apply(u"<RESULT QID='post-"_s + QString::number(rejected) + u"' ERROR='63'/>"_s +
                acceptedPost(accepted, u"1"_s, u"2"_s));
        QCOMPARE(sentWhenAsked, u"1"_s);
        QCOMPARE(f.outbox.unsentCount(Kind::Post), 1); // unanswered: kept
    }

    void resultsNeverTouchReceivedOrIncompleteRows() {
        Fixture f;
        f.ctx.db.execute(u"INSERT INTO PrivateMessages (uName, Message, Sent, Out) "
                         u"VALUES ('anna', 'Входящее', 1, 0)"_s);
        const qint64 post = f.post(u"Без ITEM"_s);
        f.prompts.answers = {false, false};
        f.apply(u"<RESULT QID='privat-1' ERROR='31'/><RESULT QID='post-"_s + QString::number(post) +
                u"' ERROR='0'/>"_s);
        QVERIFY(f.prompts.questions.isEmpty()); // nothing of the outbox was rejected
        QCOMPARE(f.column(u"SELECT Message FROM PrivateMessages"_s), QStringList{u"Входящее"_s});
        QCOMPARE(f.outbox.unsentCount(Kind::Post), 1);
        QVERIFY(f.messages().contains(u"Mod_DB.MakeMessagesSent: сервер принял сообщение post-"_s +
                                      QString::number(post) + u" без ITEM"_s));
    }

    void aQuestionLeftUnansweredKeepsTheMessage() {
        Fixture f;
        const qint64 post = f.post(u"Пост"_s);
        QObject home;
        ThreadedPrompts closing(f.prompts, &home);
        closing.close(); // the program is closing: nobody answers
        Session session = f.ctx.session();
        Session unanswered{session.folder,         session.log, session.db,
                           session.settings,       closing,     session.ConnectionFailed,
                           session.exchangeTimeout};
        SendRun(unanswered)
            .MakeMessagesSent(
                u"<?xml version='1.0' encoding='windows-1251'?><results><RESULT QID='post-"_s +
                QString::number(post) + u"' ERROR='63'/></results>"_s);
        QCOMPARE(f.outbox.unsentCount(Kind::Post), 1);
    }
};

QTEST_GUILESS_MAIN(SendTest)
#include "tst_send.moc"
