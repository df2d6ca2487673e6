#include "ExchangeFixture.h"
#include "StoreCheck.h"
#include "app/ThreadedPrompts.h"
#include "exchange/SendQueries.h"
#include "render/Markup.h"
#include "store/Outbox.h"
#include "sync/AutoCheck.h"
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
    // Applies the results to a batch of the kind, handed over as a run does.
    void apply(const QString& results, Kind kind, const std::vector<qint64>& keys) {
        outbox.handOver(kind, keys);
        SendRun(ctx.session())
            .MakeMessagesSent(u"<?xml version='1.0' encoding='windows-1251'?><results>"_s +
                                  results + u"</results>"_s,
                              outbox.find(kind, keys));
    }
    QStringList inDoubt() {
        return column(u"SELECT 'post-' || ThisID FROM Posts WHERE HandedOver IS NOT NULL "
                      u"UNION ALL SELECT 'comment-' || ThisID FROM Comments WHERE HandedOver IS "
                      u"NOT NULL UNION ALL SELECT 'privat-' || ID FROM PrivateMessages WHERE "
                      u"HandedOver IS NOT NULL"_s);
    }
};

QString accepted(const QString& qid, const QString& postId = u"500"_s,
                 const QString& journalId = u"7"_s, const QString& commentId = u"9"_s) {
    return u"<RESULT QID='"_s + qid + u"' ERROR='0'><ITEM><POSTID>"_s + postId +
           u"</POSTID><JOURNALID>"_s + journalId + u"</JOURNALID><COMMID>"_s + commentId +
           u"</COMMID><MESSAGEDATE>05.03.2006 09:07:00</MESSAGEDATE></ITEM></RESULT>"_s;
}

QString acceptedPost(qint64 key, const QString& postId, const QString& journalId) {
    return accepted(u"post-"_s + QString::number(key), postId, journalId);
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

    void theEnvelopeEscapesTheAccount() {
        Settings settings;
        settings.UserName = u"o'neil"_s;
        settings.Password = u"<&>"_s;
        OutgoingMessage post;
        post.key = 3;
        const QString document = SendQueries::BuildSendPostQuery(settings, {post, post});
        QVERIFY(document.startsWith(u"<?xml version='1.0' encoding='utf-8'?>\r\n<QUERYS "
                                    u"username='o&apos;neil' password='&lt;&amp;&gt;' "
                                    u"mainid='1'>\r\n<query QID='post-3' TYPE='3'>"_s));
        QVERIFY(document.endsWith(u"</query>\r\n\r\n</QUERYS>"_s));
        QCOMPARE(document.count(u"</query>\r\n\r\n<query QID='post-3'"_s), 1);
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
        // A warning in front of the declaration hides no result.
        f.server.setFault(standin::Fault::Warning, 1);
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

    // One rule for every kind: an answer or an edit changes an unsent row
    // of the outbox only, never one that is sent or was received.
    void onlyUnsentOutgoingRowsChange_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("state");
        QTest::addColumn<bool>("edit");
        QTest::addColumn<bool>("changes");
        for (const auto& [kind, name] :
             {std::pair(Kind::Post, "post"), std::pair(Kind::Comment, "comment"),
              std::pair(Kind::Private, "private")}) {
            for (const bool edit : {false, true}) {
                const char* path = edit ? "edit" : "accept";
                QTest::addRow("%s %s unsent", name, path)
                    << int(kind) << u"unsent"_s << edit << true;
                QTest::addRow("%s %s sent", name, path) << int(kind) << u"sent"_s << edit << false;
            }
            QTest::addRow("%s accept received", name)
                << int(kind) << u"received"_s << false << false;
        }
    }

    void onlyUnsentOutgoingRowsChange() {
        QFETCH(int, kind);
        QFETCH(QString, state);
        QFETCH(bool, edit);
        QFETCH(bool, changes);
        Fixture f(1);
        const Kind k = Kind(kind);
        const qint64 key = k == Kind::Post      ? f.post(u"Было"_s, u"Было"_s)
                           : k == Kind::Comment ? f.comment(u"Было"_s)
                                                : f.privateTo(u"anna"_s, u"Было"_s);
        const auto [table, column] = messageTable(k);
        const QString row = u" WHERE "_s + column + u" = "_s + QString::number(key);
        if (state != u"unsent"_s) {
            f.ctx.db.execute(
                u"UPDATE "_s + table + u" SET Sent = 1"_s +
                (k == Kind::Private && state == u"received"_s ? u", Out = 0"_s : QString()) + row);
        }
        if (k != Kind::Private && state == u"received"_s) {
            f.ctx.db.execute(u"UPDATE "_s + table + u" SET uName = 'anna'"_s + row);
        }
        const QStringList before = f.column(u"SELECT * FROM "_s + table + row);
        if (edit) {
            OutgoingMessage m = *f.outbox.find(k, key);
            m.header = m.message = u"Стало"_s;
            const bool updated = k == Kind::Post      ? f.outbox.updatePost(m)
                                 : k == Kind::Comment ? f.outbox.updateComment(m)
                                                      : f.outbox.updatePrivate(m);
            QCOMPARE(updated, changes);
        } else {
            const QString qid = (k == Kind::Post      ? u"post-"_s
                                 : k == Kind::Comment ? u"comment-"_s
                                                      : u"privat-"_s) +
                                QString::number(key);
            f.apply(accepted(qid), k, {key});
        }
        QCOMPARE(f.column(u"SELECT * FROM "_s + table + row) != before, changes);
        QVERIFY(f.prompts.questions.isEmpty());
    }

    // Only results naming a message of the batch just sent are applied;
    // anything else in the answer is reported and changes nothing.
    void anAnswerAppliesOnlyToItsOwnBatch() {
        Fixture f;
        const qint64 sent = f.post(u"В пакете"_s);
        const qint64 later = f.post(u"Следующий пакет"_s);
        const QString qid = u"post-"_s + QString::number(sent);
        f.prompts.answers = {false, false};
        f.apply(accepted(u"post-"_s + QString::number(later)) + accepted(qid, u"600"_s) +
                    u"<RESULT QID='"_s + qid +
                    u"' ERROR='63'/><RESULT QID='forum-1' ERROR='0'/>"_s + u"<RESULT QID='post"_s +
                    QString::number(sent) + u"' ERROR='0'/>"_s,
                Kind::Post, {sent});
        QCOMPARE(f.column(u"SELECT PostID, Sent, HandedOver IS NULL FROM Posts ORDER BY ThisID"_s),
                 (QStringList{u"600|1|1"_s, u"tmp"_s + QString::number(later) + u"|0|1"_s}));
        QVERIFY(f.prompts.questions.isEmpty()); // the repeated result is not asked about
        QVERIFY(f.messages().contains(u"Mod_DB.MakeMessagesSent: результат для сообщения не из "
                                      u"этого пакета: post-"_s +
                                      QString::number(later)));
        QCOMPARE(f.ctx.log.failureCount(), 4);
    }

    void aRejectedCommentIsKeptOrDeletedAsTheUserSays() {
        Fixture f;
        f.ctx.db.execute(u"INSERT INTO Posts (PostID, uName, Sent) VALUES ('"_s +
                         QString::number(f.data.posts[0].id) + u"', 'хозяйка', 1)"_s);
        const qint64 comment = f.comment(u"Закрыто"_s);
        f.server.service().reject(u"comment-"_s + QString::number(comment), u"6"_s);
        f.prompts.answers = {true}; // Да: keep it for editing
        const QStringList before = f.outgoingRows();
        f.send();
        QCOMPARE(f.prompts.questions,
                 QStringList{u"|При отправке комментария от 05.03.2006 9:07:00 в дневник юзера "
                             u"хозяйка возникла ошибка №6 (Нет прав для добавления "
                             u"комментария)\r\n'Да' - оставить коммент для "
                             u"дальнейшего редактирования\r\n'Нет' - удалить коммент"_s});
        QCOMPARE(f.outgoingRows(), before);
        QCOMPARE(f.ctx.log.failureCount(), 0);
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
        // A repeat the service refused is kept in doubt: it holds that text.
        QCOMPARE(f.inDoubt().size(), 1);
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

    // The service stores a batch and its answer is lost: the rows stay in
    // doubt, are not sent again without the user's word, and a receive that
    // brings the published copies settles them. Each message is published
    // once and stored once.
    void aLostAnswerPublishesNothingTwice_data() {
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("reported");
        QTest::addColumn<int>("skip");
        // The requests: the posts' batch, the comment's, the private message's.
        const auto row = [](const char* name, standin::Fault fault, const QString& reported) {
            for (const int skip : {0, 1}) {
                QTest::addRow("%s after %d", name, skip) << int(fault) << reported << skip;
            }
        };
        const QString noXml = u"Mod_DB.MakeMessagesSent: При публиковании сообщений сервер не "
                              u"вернул XML-ответ."_s;
        row("lose", standin::Fault::Drop, noXml);
        row("http500", standin::Fault::Http500, noXml);
        row("garbage", standin::Fault::Garbage, noXml);
        row("error page", standin::Fault::ErrorPage, noXml);
        row("silent", standin::Fault::Silent, noXml);
        row("truncated", standin::Fault::Truncated,
            u"MakeMessagesSent:: Структура XML-файла нарушена."_s);
    }

    void aLostAnswerPublishesNothingTwice() {
        QFETCH(int, fault);
        QFETCH(QString, reported);
        QFETCH(int, skip);
        Fixture f;
        f.ctx.exchangeTimeout = std::chrono::seconds(1);
        ReceiveRun(f.ctx.session()).run();
        const QStringList texts = {u"Первый"_s, u"Второй"_s, u"Третий"_s, u"Коммент"_s, u"Лично"_s};
        for (const QString& text : texts.mid(0, 3)) {
            f.post(u"Заголовок "_s + text, text);
        }
        f.comment(texts[3]);
        f.privateTo(f.data.buddies.first(), texts[4]);

        // Two answers are lost; the next runs send the rest, nothing twice.
        f.server.service().floodProtection = false; // a repeat would be stored
        f.server.setFault(standin::Fault(fault), 2, 0, skip);
        for (int run = 0; run < 3; ++run) {
            f.send();
            f.ctx.ConnectionFailed = false;
        }
        const QStringList lines = f.messages();
        QVERIFY2(std::any_of(lines.begin(), lines.end(),
                             [&](const QString& line) { return line.startsWith(reported); }),
                 qPrintable(lines.join(u'\n')));
        QCOMPARE(f.inDoubt().size(), skip == 0 ? 4 : 2);
        for (const QString& question : f.prompts.questions) {
            QVERIFY2(question.contains(u"могло быть уже опубликовано"_s), qPrintable(question));
        }

        // The receive brings the published copies back: they settle the rows,
        // as read, and nothing is stored twice. A private message never comes
        // back: it waits for the user's word.
        ReceiveRun(f.ctx.session()).run();
        const QStringList waiting = f.inDoubt();
        QCOMPARE(waiting.filter(u"privat-"_s), waiting);
        QCOMPARE(f.unsent(), waiting.size());
        QCOMPARE(test::storeDifference(f.ctx.db, f.data), QString());
        const QString settledAsRead = skip == 0 ? u" AND New = 0"_s : QString();
        QCOMPARE(f.column(u"SELECT count(*) FROM Posts WHERE Header LIKE 'Заголовок %' AND "
                          u"Sent = 1"_s +
                          settledAsRead),
                 QStringList{u"3"_s});
        for (const QString& text : texts) {
            QCOMPARE(f.storedOnService(text), 1);
        }
    }

    void aRowInDoubtGoesOutAgainOnlyWithTheUsersWord() {
        Fixture f;
        const qint64 yes = f.post(QString(), u"<b>Первые</b> слова длинного текста, который не "
                                             u"поместится в вопрос целиком"_s);
        const qint64 no = f.privateTo(f.data.buddies.first(), u"Лично"_s);
        f.outbox.handOver(Kind::Post, {yes});
        f.outbox.handOver(Kind::Private, {no});
        const auto icons = [&] {
            QList<int> shown;
            const TreeSnapshot tree = TreeBuilder(f.ctx.settings, &f.ctx.db).build();
            for (const TreeNode& node : tree.nodes) {
                if (node.kind == NodeKind::Post || node.kind == NodeKind::Private) {
                    shown.append(node.icon);
                }
            }
            return shown;
        };
        QCOMPARE(icons(), (QList<int>{IconInDoubt, IconInDoubt}));
        Options sendOnly;
        sendOnly.check_post = sendOnly.check_comment = sendOnly.check_privat =
            sendOnly.check_friends = false;
        AutoCheck::run(f.ctx.session(), sendOnly); // nobody may be there: nothing asked
        QVERIFY(f.prompts.questions.isEmpty());
        QCOMPARE(f.inDoubt().size(), 2);
        f.prompts.answers = {true, false};
        f.send();
        QCOMPARE(f.prompts.questions[0],
                 u"|Сообщение «Первые слова длинного текста, который не…» могло быть уже "
                 u"опубликовано: ответ сервера на него не получен. Отправить его ещё раз?"_s);
        QVERIFY(f.prompts.questions[1].startsWith(u"|Сообщение «Лично»"_s));
        QCOMPARE(f.inDoubt(), QStringList{u"privat-"_s + QString::number(no)});
        QCOMPARE(f.outbox.unsentCount(Kind::Private), 1); // waits, never deleted
        QCOMPARE(f.data.sentPrivates.size(), size_t(0));
        QCOMPARE(f.outbox.unsentCount(Kind::Post), 0);
        QCOMPARE(icons(), (QList<int>{IconRead, IconInDoubt}));
    }

    void aBatchThatNeverLeftIsNotInDoubt() {
        Fixture f;
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        f.ctx.settings.ServiceURL = u"http://127.0.0.1:"_s + QString::number(closed.serverPort());
        closed.close();
        f.ctx.settings.PostsToSendPerOneSession = u"3"_s;
        const qint64 doubted = f.post(u"Под сомнением"_s); // in the first batch
        f.outbox.handOver(Kind::Post, {doubted});
        // Handed over long ago: it keeps the time it may have been published since.
        f.ctx.db.execute(u"UPDATE Posts SET HandedOver = '2006-03-05 10:00:00'"_s);
        for (int i = 0; i < 6; ++i) {
            f.post(u"Пост"_s, QString::number(i));
        }
        f.comment(u"Коммент"_s);
        f.prompts.answers = {true}; // sent again: it does not leave either
        const QStringList before = f.outgoingRows();
        f.send();
        QCOMPARE(f.outgoingRows(), before);     // nothing marked, the doubt kept
        QCOMPARE(f.prompts.messages.size(), 1); // the connection box, once
        QCOMPARE(f.server.received().size(), 0);
        QCOMPARE(f.messages().mid(f.messages().size() - 2),
                 (QStringList{u"Не отправлено: постов - 7, комментариев - 1, приватов - 0"_s,
                              u"Операция завершена"_s}));
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
        const QString header = u"'Кот' <b> & \"пёс\" «ёж» 日 ~`"_s;
        const QString body = u"Строка 1\n<i>'a' & \"b\"</i> — €"_s;
        const qint64 key = f.post(header, body);
        f.comment(u"Ответ & <ответ>"_s);
        f.send();
        QCOMPARE(f.unsent(), 0);
        // The service keeps the entity form: one XML decoding of what went out.
        const standin::Post& published = f.data.posts.back();
        QCOMPARE(published.header, u"'Кот' <b> & &quot;пёс&quot; &laquo;ёж&raquo; &#26085; ~`"_s);
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
        f.ctx.db.execute(u"CREATE TRIGGER fail BEFORE UPDATE OF Sent ON Comments BEGIN "
                         u"SELECT RAISE(ABORT, 'диск полон'); END"_s);
        f.apply(acceptedPost(post, u"1"_s, u"2"_s), Kind::Post, {post});
        f.apply(accepted(u"comment-"_s + QString::number(comment)), Kind::Comment, {comment});
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
                    acceptedPost(accepted, u"1"_s, u"2"_s),
                Kind::Post, {accepted, rejected});
        QCOMPARE(sentWhenAsked, u"1"_s);
        QCOMPARE(f.outbox.unsentCount(Kind::Post), 1); // unanswered: kept
    }

    void anAcceptanceWithoutIdentifiersLeavesTheRowInDoubt() {
        Fixture f;
        const qint64 post = f.post(u"Без ITEM"_s);
        f.apply(u"<RESULT QID='post-"_s + QString::number(post) + u"' ERROR='0'/>"_s, Kind::Post,
                {post});
        QCOMPARE(f.inDoubt(), QStringList{u"post-"_s + QString::number(post)});
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
                    QString::number(post) + u"' ERROR='63'/></results>"_s,
                f.outbox.find(Kind::Post, std::vector<qint64>{post}));
        QCOMPARE(f.outbox.unsentCount(Kind::Post), 1);
    }
};

QTEST_GUILESS_MAIN(SendTest)
#include "tst_send.moc"
