// Starting the window program: one program per working folder, the start in
// the notification area, and a working folder that cannot take its files.
// Most cases run build/bin/orv itself, on the offscreen platform.
#include "GuiFixture.h"
#include "SingleInstance.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

using namespace Qt::StringLiterals;
using namespace orv;

namespace {

const QString kStarted = u"  Программа запущена"_s;
const QString kShownAgain = u"  Повторный запуск на этой рабочей папке: показано окно программы"_s;

QString logOf(const test::TestFolder& dir) {
    return QString::fromUtf8(dir.read(u"log.txt"_s));
}

// The window program on a working folder, with per-user options of its own;
// killed at the end of the test whatever happened.
class Orv {
public:
    Orv(const QString& folder, const QString& configHome, const QStringList& extra = {}) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        environment.insert(u"XDG_CONFIG_HOME"_s, configHome);
        m_process.setProcessEnvironment(environment);
        m_process.start(QCoreApplication::applicationDirPath() + u"/orv"_s,
                        QStringList{u"--folder"_s, folder} + extra);
        m_process.waitForStarted();
    }
    Orv(const test::TestFolder& dir, const QStringList& extra = {})
        : Orv(dir.path(), dir.file(u"config"_s), extra) {}

    ~Orv() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

    bool running() const { return m_process.state() == QProcess::Running; }

    // True when the program ended by itself with this status.
    bool endsWith(int status) {
        return m_process.waitForFinished(30000) && m_process.exitStatus() == QProcess::NormalExit &&
               m_process.exitCode() == status;
    }

    QString errors() { return QString::fromUtf8(m_process.readAllStandardError()); }

    // Gone at once, as after a crash: nothing of its own is cleaned up.
    void killHard() {
        m_process.kill();
        m_process.waitForFinished();
    }

private:
    QProcess m_process;
};

// Until the program has finished its start: the window is up and listening.
void waitForStart(const test::TestFolder& dir, Orv& orv) {
    QTRY_VERIFY_WITH_TIMEOUT(logOf(dir).contains(kStarted) || !orv.running(), 60000);
    QVERIFY2(orv.running(), qPrintable(orv.errors()));
}

// A client of the program's socket that does not block this thread.
QByteArray ask(const QString& name, const QByteArray& request) {
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(5000)) {
        return "<no connection>";
    }
    socket.write(request);
    QByteArray answer;
    // An unanswered request ends without a line.
    (void)QTest::qWaitFor(
        [&] {
            answer += socket.readAll();
            return answer.contains('\n') || socket.state() == QLocalSocket::UnconnectedState;
        },
        10000);
    return answer + socket.readAll();
}

} // namespace

class LaunchTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // The sockets go to a runtime folder of this test's own.
        QVERIFY(m_runtime.isValid());
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
    }

    void aSecondStartShowsTheFirstWindow() {
        test::GuiFixture f;
        f.configure(u"me"_s);
        Orv first(f.dir);
        waitForStart(f.dir, first);
        const QString name = SingleInstance::serverName(f.dir.path());
        QVERIFY2(name.startsWith(m_runtime.path() + u"/orv-client-"_s), qPrintable(name));
        QVERIFY(QFileInfo::exists(name));

        Orv second(f.dir);
        QVERIFY(second.endsWith(0));
        QCOMPARE(second.errors(), QString());
        QTRY_VERIFY_WITH_TIMEOUT(logOf(f.dir).contains(kShownAgain), 10000);
        QVERIFY(first.running());
        // The second opened nothing: its start would have begun a new log.
        QCOMPARE(logOf(f.dir).count(kStarted), 1);

        // Another folder has a program of its own.
        test::GuiFixture other;
        other.configure(u"me"_s);
        Orv elsewhere(other.dir);
        waitForStart(other.dir, elsewhere);
        QVERIFY(first.running());
    }

    void aSocketLeftByAKilledProgramIsTakenOver() {
        test::GuiFixture f;
        f.configure(u"me"_s);
        const QString name = SingleInstance::serverName(f.dir.path());
        {
            Orv crashed(f.dir);
            waitForStart(f.dir, crashed);
            crashed.killHard();
        }
        QVERIFY(QFileInfo::exists(name)); // left behind, and nobody listens
        QVERIFY(QFile::remove(f.dir.file(u"log.txt"_s)));

        Orv next(f.dir);
        waitForStart(f.dir, next);
        // It holds the name now: a later start reaches it.
        Orv later(f.dir);
        QVERIFY(later.endsWith(0));
        QTRY_VERIFY_WITH_TIMEOUT(logOf(f.dir).contains(kShownAgain), 10000);
        QVERIFY(next.running());
    }

    void aFolderThatCannotBeWrittenStopsTheStart() {
        QTemporaryDir dir;
        const QString blocker = dir.filePath(u"blocker"_s);
        QFile file(blocker);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("a file where a folder would go");
        file.close();
        const QString folder = blocker + u"/work"_s;
        QVERIFY(!QDir().mkpath(folder)); // even for root

        Orv orv(folder, dir.filePath(u"config"_s));
        QVERIFY(orv.endsWith(1));
        const QString errors = orv.errors();
        QVERIFY2(errors.contains(u"Не могу писать в рабочую папку: "_s + folder +
                                 u". Выберите другую папку ключом --folder."_s),
                 qPrintable(errors));
        QVERIFY(!QFileInfo::exists(SingleInstance::serverName(folder)));
    }

    // In-process: the request as the running program serves it.
    void aRequestBringsTheWindowBackFromTheTray() {
        test::AssumedNotificationArea tray(true);
        test::GuiFixture f;
        f.configure(u"me"_s);
        f.create().setStartHidden(true);
        f.mainForm->Form_Load();
        QVERIFY(!f.mainForm->isVisible());

        SingleInstance instance(f.dir.path());
        QCOMPARE(instance.start(std::chrono::milliseconds(500)),
                 SingleInstance::Outcome::Listening);
        connect(&instance, &SingleInstance::showRequested, f.mainForm.get(),
                &MainForm::bringForward);

        // Something else on the socket is not answered and shows nothing.
        QCOMPARE(ask(instance.name(), "hello\n"), QByteArray());
        QVERIFY(!f.mainForm->isVisible());

        QCOMPARE(ask(instance.name(), SingleInstance::ShowRequest), SingleInstance::ShowAnswer);
        QVERIFY(f.mainForm->isVisible());

        // A minimized window comes back as it was before.
        f.mainForm->showMaximized();
        f.mainForm->setWindowState(f.mainForm->windowState() | Qt::WindowMinimized);
        QVERIFY(f.mainForm->isMinimized());
        QCOMPARE(ask(instance.name(), SingleInstance::ShowRequest), SingleInstance::ShowAnswer);
        QVERIFY(!f.mainForm->isMinimized());
        QVERIFY(f.mainForm->isMaximized());
    }

private:
    QTemporaryDir m_runtime;
};

QTEST_MAIN(LaunchTest)
#include "tst_launch.moc"
