#include "StandinPictures.h"
#include "StoreCheck.h"
#include "TestFolder.h"
#include "app/ExchangeLock.h"
#include "store/Outbox.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QtTest>
#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

struct Result {
    int exitCode = -1;
    QString out;
    QString err;
    QByteArray bytes; // standard output as it came
};

QString program(const QString& name) {
    return QCoreApplication::applicationDirPath() + u'/' + name;
}

// The stand-in service as its own process.
class StandinProcess {
public:
    StandinProcess() {
        m_process.start(program(u"kordenet-standin"_s), {u"--seed"_s, u"20"_s, u"--quiet"_s});
        QVERIFY(m_process.waitForStarted());
        QVERIFY(m_process.waitForReadyRead(10000));
        const QString banner = QString::fromUtf8(m_process.readAllStandardOutput());
        m_url = QRegularExpression(u"http://127\\.0\\.0\\.1:\\d+"_s).match(banner).captured();
        QVERIFY2(!m_url.isEmpty(), qPrintable(banner));
    }
    ~StandinProcess() {
        m_process.kill();
        m_process.waitForFinished();
    }
    const QString& url() const { return m_url; }

    // Switches the stand-in's faults, as POST /control does.
    void control(const QByteArray& form) {
        QNetworkAccessManager network;
        QNetworkRequest request(QUrl(m_url + u"/control"_s));
        request.setHeader(QNetworkRequest::ContentTypeHeader,
                          QByteArray("application/x-www-form-urlencoded"));
        std::unique_ptr<QNetworkReply> reply(network.post(request, form));
        QTRY_VERIFY(reply->isFinished());
        QCOMPARE(reply->readAll(), QByteArray("ok"));
    }

private:
    QProcess m_process;
    QString m_url;
};

Result cli(const orv::test::TestFolder& dir, QStringList arguments, const QByteArray& input = {}) {
    QProcess process;
    // The per-user options of the test, not of whoever runs it.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"XDG_CONFIG_HOME"_s, dir.file(u"config"_s));
    process.setProcessEnvironment(environment);
    arguments.prepend(dir.path());
    arguments.prepend(u"--folder"_s);
    process.start(program(u"orv-cli"_s), arguments);
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished(60000);
    const QByteArray bytes = process.readAllStandardOutput();
    return {process.exitCode(), QString::fromUtf8(bytes),
            QString::fromUtf8(process.readAllStandardError()), bytes};
}

} // namespace

class CliTest : public QObject {
    Q_OBJECT

private slots:
    void receiveFromTheStandinService() {
        StandinProcess standin;
        orv::test::TestFolder dir;
        QCOMPARE(cli(dir, {u"set"_s, u"UserName"_s, u"demo"_s}).exitCode, 0);
        QCOMPARE(cli(dir, {u"set"_s, u"Password"_s, u"demo"_s}).exitCode, 0);
        QCOMPARE(cli(dir, {u"set"_s, u"MaxPost"_s, u"5000"_s}).exitCode, 0);

        const Result first = cli(dir, {u"--service"_s, standin.url(), u"receive"_s});
        QCOMPARE(first.exitCode, 0);
        QVERIFY2(first.out.contains(u"  Получено: постов - 20, комментариев - "_s),
                 qPrintable(first.out));
        QVERIFY(first.out.contains(u"== Новые друзья ==\nУ вас 3 новых друзей:"_s));
        QVERIFY(QFile::exists(dir.file(u"database.mdb"_s)));
        QVERIFY(dir.read(u"log.txt"_s).contains("Получено: постов - 20"));

        // Nothing new: the service's code 53 is the usual answer, no question.
        const Result second = cli(dir, {u"--service"_s, standin.url(), u"receive"_s});
        QCOMPARE(second.exitCode, 0);
        QVERIFY(second.out.contains(u"  Получено: постов - 0, комментариев - 0"_s));
        QVERIFY(second.out.contains(u"  Нет непрочитанных приватных сообщений\n"_s));
        QVERIFY2(second.err.isEmpty(), qPrintable(second.err));
        // The log goes on: a window open on the folder keeps its lines.
        QVERIFY(dir.read(u"log.txt"_s).contains("Получено: постов - 20"));

        // The whole tree, from the store: posts under their diaries, comments
        // under their posts, each with its icon.
        const Result tree = cli(dir, {u"tree"_s});
        QCOMPARE(tree.exitCode, 0);
        QVERIFY(tree.out.startsWith(u"MyDiaryRoot\tМой дневник\t1\n  key-demo\tМои посты\t1\n"_s));
        // Posts are new (2), the user's own read (3).
        const QRegularExpression postLine(u"^    friendpostkey-\\d+-\\d+\\t.+\\t[23]$"_s,
                                          QRegularExpression::MultilineOption);
        const QRegularExpression commentLine(u"^      commkey-\\d+-\\d+\\t.+\\t2$"_s,
                                             QRegularExpression::MultilineOption);
        QVERIFY2(tree.out.count(postLine) >= 20, qPrintable(tree.out.left(2000)));
        QVERIFY(tree.out.count(commentLine) > 0);

        // The page of a post, as a click on its node writes it.
        const QString key = postLine.match(tree.out).captured().trimmed().section(u'\t', 0, 0);
        const Result page = cli(dir, {u"page"_s, key});
        QCOMPARE(page.exitCode, 0);
        QCOMPARE(page.out, dir.file(u"tmp/out.htm"_s) + u'\n');
        QVERIFY(dir.read(u"tmp/out.htm"_s).contains("<html"));
        QCOMPARE(cli(dir, {u"page"_s, u"friendpostkey-0-999999"_s}).exitCode, 1);

        // A copy of the store with every post, and a clear no where it cannot go.
        QCOMPARE(cli(dir, {u"backup"_s, dir.file(u"copy.mdb"_s)}).exitCode, 0);
        orv::Database copy(dir.file(u"copy.mdb"_s));
        copy.open();
        QCOMPARE(orv::test::rows(copy, u"SELECT count(*) >= 20 FROM Posts"_s), QStringList{u"1"_s});
        const Result nowhere = cli(dir, {u"backup"_s, u"/proc/no/copy.mdb"_s});
        QCOMPARE(nowhere.exitCode, 1);
        QVERIFY(nowhere.out.contains(u"orv-cli backup: Не могу сохранить копию базы в /proc/no"_s));

        // A friend's diary, taken out for any browser.
        const QString friendDiary =
            QRegularExpression(u"^  key-(\\S+)\\t"_s, QRegularExpression::MultilineOption)
                .match(tree.out.section(u"FriendPostsRoot"_s, 1))
                .captured(1);
        const Result exported = cli(dir, {u"export"_s, friendDiary, dir.file(u"out"_s)});
        QCOMPARE(exported.exitCode, 0);
        QVERIFY2(exported.out.contains(u"Дневник "_s + friendDiary + u" выгружен в "_s),
                 qPrintable(exported.out));
        QVERIFY(dir.read(u"out/index.html"_s).contains("post-"));
    }

    void oneRunAtATimeOnAFolder() {
        StandinProcess standin;
        orv::test::TestFolder dir;
        QCOMPARE(cli(dir, {u"set"_s, u"UserName"_s, u"demo"_s}).exitCode, 0);
        QCOMPARE(cli(dir, {u"set"_s, u"Password"_s, u"demo"_s}).exitCode, 0);
        {
            orv::ExchangeLock held(dir.folder()); // a run of another program
            QVERIFY(held.tryLock());
            const Result refused = cli(dir, {u"--service"_s, standin.url(), u"receive"_s});
            QCOMPARE(refused.exitCode, 1);
            QVERIFY(refused.out.contains(u"Обмен с сервером уже идёт, дождитесь его окончания."_s));
            QVERIFY(!refused.out.contains(u"Соединяюсь с сервером..."_s));
        }
        QCOMPARE(cli(dir, {u"--service"_s, standin.url(), u"receive"_s}).exitCode, 0);

        // A lock that names no owner: its writer died before writing it.
        dir.write(u"exchange.lock"_s, {});
        QCOMPARE(cli(dir, {u"--service"_s, standin.url(), u"receive"_s}).exitCode, 1);
        QFile lock(dir.file(u"exchange.lock"_s));
        QVERIFY(lock.open(QIODevice::ReadWrite));
        QVERIFY(lock.setFileTime(QDateTime::currentDateTime().addSecs(-60),
                                 QFileDevice::FileModificationTime));
        lock.close();
        QCOMPARE(cli(dir, {u"--service"_s, standin.url(), u"receive"_s}).exitCode, 0);

        // A refused password is a failure, never "nothing new".
        QCOMPARE(cli(dir, {u"set"_s, u"Password"_s, u"не тот"_s}).exitCode, 0);
        for (const QString& command : {u"receive"_s, u"check"_s}) {
            const Result refused = cli(dir, {u"--service"_s, standin.url(), command});
            QCOMPARE(refused.exitCode, 1);
            QVERIFY2(refused.out.trimmed().endsWith(
                         u"MainForm.GetPost: Сервер вернул ошибку №3 (Ошибка авторизации)"_s),
                     qPrintable(refused.out));
        }
    }

    void killedRunsAndRunsTogetherLoseNothing() {
        standin::StandinData expected; // the stand-in process's data set
        expected.seed(20);
        StandinProcess standin;
        orv::test::TestFolder dir;
        QCOMPARE(cli(dir, {u"set"_s, u"UserName"_s, u"demo"_s}).exitCode, 0);
        QCOMPARE(cli(dir, {u"set"_s, u"Password"_s, u"demo"_s}).exitCode, 0);
        QCOMPARE(cli(dir, {u"set"_s, u"ServiceURL"_s, standin.url()}).exitCode, 0);
        QCOMPARE(cli(dir, {u"set"_s, u"MaxPost"_s, u"5000"_s}).exitCode, 0);
        QCOMPARE(cli(dir, {u"set"_s, u"PostsToGetPerOneSession"_s, u"2"_s}).exitCode, 0);
        QCOMPARE(cli(dir, {u"set"_s, u"CommentsToGetPerOneSession"_s, u"10"_s}).exitCode, 0);
        standin.control("fault=delay&delay=40");

        // Killed in the middle of its fetches, again and again.
        for (int i = 0; i < 3; ++i) {
            QProcess run;
            run.start(program(u"orv-cli"_s), {u"--folder"_s, dir.path(), u"receive"_s});
            QVERIFY(run.waitForStarted());
            QTRY_VERIFY_WITH_TIMEOUT(dir.read(u"log.txt"_s).count(" из ") > 2 + 3 * i, 30000);
            run.kill();
            QVERIFY(run.waitForFinished());
        }
        // Two runs started together: one is refused, or they follow each other.
        QProcess first, second;
        first.start(program(u"orv-cli"_s), {u"--folder"_s, dir.path(), u"receive"_s});
        second.start(program(u"orv-cli"_s), {u"--folder"_s, dir.path(), u"receive"_s});
        QVERIFY(first.waitForFinished(60000) && second.waitForFinished(60000));
        const QString both =
            QString::fromUtf8(first.readAllStandardOutput() + second.readAllStandardOutput());
        QVERIFY(!both.contains(u"database is locked"_s));

        standin.control("fault=none");
        const Result clean = cli(dir, {u"receive"_s});
        QCOMPARE(clean.exitCode, 0);
        orv::Database db(dir.file(u"database.mdb"_s));
        db.open();
        QCOMPARE(orv::test::storeDifference(db, expected), QString());
    }

    // Killed at random moments of a long send, then a receive and a clean
    // send: every message is published once and stored once, none is left
    // unsent and none is lost.
    void aKilledSendPublishesEachMessageOnce() {
        constexpr int Posts = 300;
        StandinProcess standin;
        orv::test::TestFolder dir;
        for (const auto& [key, value] :
             {std::pair(u"UserName"_s, u"demo"_s), std::pair(u"Password"_s, u"demo"_s),
              std::pair(u"ServiceURL"_s, standin.url()), std::pair(u"MaxPost"_s, u"5000"_s),
              std::pair(u"PostsToSendPerOneSession"_s, u"5"_s)}) {
            QCOMPARE(cli(dir, {u"set"_s, key, value}).exitCode, 0);
        }
        const auto count = [&](const QString& sql) {
            orv::Database db(dir.file(u"database.mdb"_s));
            db.open();
            QSqlQuery q = db.prepare(sql);
            orv::Database::exec(q);
            return q.next() ? q.value(0).toInt() : -1;
        };
        {
            orv::Database db(dir.file(u"database.mdb"_s));
            db.open();
            orv::Outbox outbox(db);
            for (int i = 0; i < Posts; ++i) {
                orv::OutgoingMessage post;
                post.header = u"Пост номер "_s + QString::number(i);
                post.message = u"Текст "_s + QString::number(i);
                post.date = u"2006-03-05 09:07:00"_s;
                post.userName = u"demo"_s;
                outbox.addPost(post);
            }
        }
        standin.control("fault=delay&delay=30");
        standin.control("flood=off"); // a message sent twice would be stored twice
        QRandomGenerator random(19);
        for (int kill = 0; kill < 20; ++kill) {
            QProcess run;
            run.start(program(u"orv-cli"_s),
                      {u"--folder"_s, dir.path(), u"--answer"_s, u"no"_s, u"send"_s});
            QVERIFY(run.waitForStarted());
            if (!run.waitForFinished(int(random.bounded(50, 600)))) {
                run.kill(); // maybe while the service stores a batch
                QVERIFY(run.waitForFinished());
            }
        }
        QVERIFY(count(u"SELECT count(*) FROM Posts WHERE Sent = 0"_s) > 0);

        standin.control("fault=none");
        const Result settling = cli(dir, {u"receive"_s}); // settles what the service took
        QVERIFY2(settling.exitCode == 0, qPrintable(settling.out + settling.err));
        const Result clean = cli(dir, {u"--answer"_s, u"yes"_s, u"send"_s});
        QCOMPARE(clean.exitCode, 0);
        QCOMPARE(cli(dir, {u"receive"_s}).exitCode, 0);
        QCOMPARE(count(u"SELECT count(*) FROM Posts WHERE Sent = 0"_s), 0);
        // The store holds every post of the service: a message published
        // twice would be here twice.
        QCOMPARE(count(u"SELECT count(*) FROM Posts WHERE Header LIKE 'Пост номер %'"_s), Posts);
        QCOMPARE(
            count(u"SELECT count(DISTINCT Header) FROM Posts WHERE Header LIKE 'Пост номер %'"_s),
            Posts);
    }

    void checkAllCommentsAndSmileys() {
        StandinProcess standin;
        orv::test::TestFolder dir;
        for (const auto& [key, value] :
             {std::pair(u"UserName"_s, u"demo"_s), std::pair(u"Password"_s, u"demo"_s),
              std::pair(u"ServiceURL"_s, standin.url()), std::pair(u"MaxPost"_s, u"5000"_s)}) {
            QCOMPARE(cli(dir, {u"set"_s, key, value}).exitCode, 0);
        }
        // One automatic check: the receives, the report line, the send run.
        const Result check = cli(dir, {u"check"_s});
        QCOMPARE(check.exitCode, 0);
        QVERIFY2(check.out.contains(u"  Автозакачивание::Соединяюсь с сервером...\n"_s),
                 qPrintable(check.out));
        QVERIFY(QRegularExpression(u"  В \\d{1,2}:\\d\\d:\\d\\d получено: постов - 20, "_s)
                    .match(check.out)
                    .hasMatch());
        QVERIFY(check.out.endsWith(u"  Операция завершена\n"_s));

        // All comments of one post: one new on the service arrives.
        orv::Database db(dir.file(u"database.mdb"_s));
        db.open();
        const QString postId =
            orv::test::rows(db, u"SELECT PostID FROM Posts ORDER BY ThisID LIMIT 1"_s).value(0);
        const auto comments = [&] {
            return orv::test::rows(db, u"SELECT count(*) FROM Comments WHERE PostID = '"_s +
                                           postId + u'\'')
                .value(0)
                .toInt();
        };
        const int before = comments();
        standin.control("add-comment=" + postId.toUtf8() + "&text=%D0%95%D1%89%D1%91");
        const Result all = cli(dir, {u"all-comments"_s, postId});
        QCOMPARE(all.exitCode, 0);
        QVERIFY(all.out.contains(u"  Загрузка всех комментариев...\n"_s));
        QCOMPARE(comments(), before + 1);

        // Smileys: the catalogue, then only what is new.
        QCOMPARE(cli(dir, {u"smileys"_s}).exitCode, 0);
        const int catalogue =
            orv::test::rows(db, u"SELECT count(*) FROM Smiles"_s).value(0).toInt();
        QVERIFY(catalogue > 0);
        // Their pictures are kept, and handed out byte for byte.
        const QString picture =
            orv::test::rows(db, u"SELECT SmileURL FROM Smiles ORDER BY ID LIMIT 1"_s).value(0);
        const Result kept = cli(dir, {u"picture"_s, picture});
        QCOMPARE(kept.exitCode, 0);
        QCOMPARE(kept.bytes, standin::StandinPictures::animatedGif());
        const Result missing = cli(dir, {u"picture"_s, standin.url() + u"/pic/1.png"_s});
        QCOMPARE(missing.exitCode, 1);
        QCOMPARE(missing.err, u"Картинка не сохранена: "_s + standin.url() + u"/pic/1.png\n"_s);
        standin.control("add-smiley=%3A-%29&url=http%3A%2F%2Fk%2Fnew.gif");
        const Result again = cli(dir, {u"smileys"_s});
        QCOMPARE(again.exitCode, 0);
        QVERIFY(again.out.contains(u"  Загрузка смайлов...\n"_s));
        QCOMPARE(
            orv::test::rows(db, u"SELECT Smile, SmileURL FROM Smiles ORDER BY ID DESC LIMIT 1"_s),
            QStringList{u":-)|http://k/new.gif"_s});
        QCOMPARE(orv::test::rows(db, u"SELECT count(*) FROM Smiles"_s).value(0).toInt(),
                 catalogue + 1);
    }

    void failuresAndUsage() {
        orv::test::TestFolder dir;
        const Result bad = cli(dir, {u"stack-post"_s, u"12a"_s});
        QCOMPARE(bad.exitCode, 1);
        QVERIFY(bad.err.contains(u"Введенный номер не корректен. Попробуй еще раз."_s));

        QCOMPARE(cli(dir, {u"no-such-command"_s}).exitCode, 2);
        QCOMPARE(cli(dir, {u"set"_s, u"UserName"_s}).exitCode, 2);
        QCOMPARE(cli(dir, {u"--answer"_s, u"maybe"_s, u"tree"_s}).exitCode, 2);
        QCOMPARE(cli(dir, {u"set"_s, u"NoSuchKey"_s, u"1"_s}).exitCode, 1);

        // No service at all: the run ends, and says it failed.
        const Result offline = cli(dir, {u"--service"_s, u"http://127.0.0.1:9"_s, u"receive"_s});
        QCOMPARE(offline.exitCode, 1);
        QVERIFY(offline.err.contains(u"Запрос к серверу не выполнен."_s));
        QVERIFY(offline.out.contains(u"Получено: постов - 0, комментариев - 0"_s));
    }

    void aFolderThatCannotBeWrittenIsRefused() {
        QTemporaryDir dir;
        QFile blocker(dir.filePath(u"blocker"_s));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const QString folder = dir.filePath(u"blocker/work"_s);
        QVERIFY(!QDir().mkpath(folder)); // a file stands where the folder would go

        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"XDG_CONFIG_HOME"_s, dir.filePath(u"config"_s));
        process.setProcessEnvironment(environment);
        process.start(program(u"orv-cli"_s), {u"--folder"_s, folder, u"tree"_s});
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), 1);
        QCOMPARE(QString::fromUtf8(process.readAllStandardError()),
                 u"Не могу писать в рабочую папку: "_s + folder +
                     u". Выберите другую папку ключом --folder.\n"_s);
        QCOMPARE(process.readAllStandardOutput(), QByteArray());
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
                 QStringList{u"blocker"_s});
        QCOMPARE(QFileInfo(blocker).size(), 0);
    }

    void foldersItMakesArePrivateWhateverTheUmask() {
        QTemporaryDir dir;
        QProcess process;
        process.setChildProcessModifier([] { ::umask(0); });
        const QString folder = dir.filePath(u"new/work"_s);
        process.start(program(u"orv-cli"_s), {u"--folder"_s, folder, u"tree"_s});
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitCode(), 0);
        for (const QString& made :
             QStringList{dir.filePath(u"new"_s), folder, folder + u"/tmp"_s}) {
            const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup |
                                              QFile::ExeGroup | QFile::ReadOther |
                                              QFile::WriteOther | QFile::ExeOther;
            QCOMPARE(QFileInfo(made).permissions() & others, QFile::Permissions());
        }
    }

    void sendTheOutbox() {
        StandinProcess standin;
        orv::test::TestFolder dir;
        QCOMPARE(cli(dir, {u"set"_s, u"UserName"_s, u"demo"_s}).exitCode, 0);
        QCOMPARE(cli(dir, {u"set"_s, u"Password"_s, u"demo"_s}).exitCode, 0);
        const auto write = [&](const QString& header) {
            orv::Database db(dir.file(u"database.mdb"_s));
            db.open();
            orv::OutgoingMessage post;
            post.header = header;
            post.message = header + u" - текст"_s;
            post.date = u"2006-03-05 09:07:00"_s;
            post.userName = u"demo"_s;
            return orv::Outbox(db).addPost(post);
        };
        const auto unsent = [&] {
            orv::Database db(dir.file(u"database.mdb"_s));
            db.open();
            return orv::Outbox(db).unsentCount(orv::MessageRef::Kind::Post);
        };
        write(u"Из командной строки"_s);
        const Result sent = cli(dir, {u"--service"_s, standin.url(), u"send"_s});
        QCOMPARE(sent.exitCode, 0);
        QVERIFY2(sent.out.contains(u"  Отправляю сообщения...\n"_s), qPrintable(sent.out));
        QVERIFY(sent.out.endsWith(u"  Операция завершена\n"_s));
        QCOMPARE(unsent(), 0);
        QCOMPARE(cli(dir, {u"--service"_s, standin.url(), u"receive"_s}).exitCode, 0);
        QCOMPARE(cli(dir, {u"tree"_s}).out.count(u"\tИз командной строки\t"_s), 1);
        // Found, once, with the match marked.
        const Result found = cli(dir, {u"search"_s, u"КОМАНДНОЙ"_s});
        QCOMPARE(found.exitCode, 0);
        QVERIFY2(QRegularExpression(u"^friendpostkey-\\d+-\\d+\\tdemo\\tИз командной "
                                    u"строки\\t.*\\[командной\\]"_s)
                     .match(found.out)
                     .hasMatch(),
                 qPrintable(found.out));
        QCOMPARE(found.out.count(u'\n'), 1);
        const Result bad = cli(dir, {u"search"_s, u"\"незакрыто"_s});
        QCOMPARE(bad.exitCode, 1);
        QVERIFY(bad.out.contains(u"orv-cli search: В запросе не закрыта кавычка."_s));

        // Rejected: without --answer the message stays for editing; "no" deletes it.
        const qint64 key = write(u"Отклонят"_s);
        standin.control("reject=post-" + QByteArray::number(key) + "&code=5");
        const Result kept = cli(dir, {u"--service"_s, standin.url(), u"send"_s});
        QCOMPARE(kept.exitCode, 0);
        QVERIFY2(kept.err.contains(u"возникла ошибка №5"_s), qPrintable(kept.err));
        QVERIFY(kept.err.contains(u"'Нет' - удалить пост\n-> да"_s));
        QVERIFY(
            kept.out.contains(u"  Не отправлено: постов - 1, комментариев - 0, приватов - 0\n"_s));
        QCOMPARE(unsent(), 1);
        QCOMPARE(
            cli(dir, {u"--answer"_s, u"no"_s, u"--service"_s, standin.url(), u"send"_s}).exitCode,
            0);
        QCOMPARE(unsent(), 0);

        // A failed step shows in the exit status; the message waits.
        write(u"Без связи"_s);
        const Result offline = cli(dir, {u"--service"_s, u"http://127.0.0.1:1"_s, u"send"_s});
        QCOMPARE(offline.exitCode, 1);
        QCOMPARE(unsent(), 1);
    }

    void renderFromStandardInput() {
        orv::test::TestFolder dir;
        const Result html = cli(dir, {u"render"_s}, u"[b]Привет[/b]\nмир"_s.toUtf8());
        QCOMPARE(html.exitCode, 0);
        QCOMPARE(html.out, u"<b>Привет</b><br>мир"_s);
    }
};

QTEST_GUILESS_MAIN(CliTest)
#include "tst_cli.moc"
