#include "TestFolder.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

struct Result {
    int exitCode = -1;
    QString out;
    QString err;
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

private:
    QProcess m_process;
    QString m_url;
};

Result cli(const orv::test::TestFolder& dir, QStringList arguments, const QByteArray& input = {}) {
    QProcess process;
    arguments.prepend(dir.path());
    arguments.prepend(u"--folder"_s);
    process.start(program(u"orv-cli"_s), arguments);
    process.write(input);
    process.closeWriteChannel();
    process.waitForFinished(60000);
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
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

        // Nothing new: the service's error 53 is asked about and answered No.
        const Result second = cli(dir, {u"--service"_s, standin.url(), u"receive"_s});
        QCOMPARE(second.exitCode, 0);
        QVERIFY(second.out.contains(u"  Получено: постов - 0, комментариев - 0"_s));
        QVERIFY(second.err.contains(u"Нет непрочитанных приватных сообщений"_s));
        QVERIFY(second.err.contains(u"-> нет"_s));

        const Result tree = cli(dir, {u"tree"_s});
        QVERIFY(tree.out.startsWith(u"MyDiaryRoot\tМой дневник\t1\n  key-demo\tМои посты\t1\n"_s));
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

    void renderFromStandardInput() {
        orv::test::TestFolder dir;
        const Result html = cli(dir, {u"render"_s}, u"[b]Привет[/b]\nмир"_s.toUtf8());
        QCOMPARE(html.exitCode, 0);
        QCOMPARE(html.out, u"<b>Привет</b><br>мир"_s);
    }
};

QTEST_GUILESS_MAIN(CliTest)
#include "tst_cli.moc"
