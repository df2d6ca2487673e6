// The passwords in the desktop's keyring: a real gnome-keyring-daemon serving
// the Secret Service on this test's own session bus, unlocked for it.
#include "StoreCheck.h"
#include "app/Keyring.h"
#include "app/StatusLog.h"
#include "store/SettingsStore.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace orv;

namespace {

QString storedValue(Database& db, const QString& key) {
    return test::rows(db,
                      u"SELECT iniValue FROM iniSettings WHERE iniVariable = '"_s + key + u"'"_s)
        .value(0);
}

int cli(const test::TestFolder& dir, const QStringList& arguments, const QString& bus) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"DBUS_SESSION_BUS_ADDRESS"_s, bus);
    environment.insert(u"XDG_CONFIG_HOME"_s, dir.file(u"config"_s));
    process.setProcessEnvironment(environment);
    process.start(QCoreApplication::applicationDirPath() + u"/orv-cli"_s,
                  QStringList{u"--folder"_s, dir.path()} + arguments);
    process.waitForFinished(30000);
    return process.exitCode();
}

} // namespace

class KeyringTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        QVERIFY2(QDBusConnection::sessionBus().isConnected(), "run under dbus-run-session");
        QVERIFY(m_home.isValid());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"XDG_DATA_HOME"_s, m_home.path());
        environment.insert(u"HOME"_s, m_home.path());
        m_daemon.setProcessEnvironment(environment);
        m_daemon.start(u"gnome-keyring-daemon"_s,
                       {u"--foreground"_s, u"--unlock"_s, u"--components=secrets"_s});
        QVERIFY2(m_daemon.waitForStarted(), "gnome-keyring-daemon is missing (scripts/setup)");
        m_daemon.write("test-password");
        m_daemon.closeWriteChannel();
        QTRY_VERIFY_WITH_TIMEOUT(QDBusConnection::sessionBus().interface()->isServiceRegistered(
                                     u"org.freedesktop.secrets"_s),
                                 10000);
    }

    void cleanupTestCase() {
        m_daemon.terminate();
        m_daemon.waitForFinished();
    }

    // A password in the store moves into the keyring and leaves the store.
    void aStoredPasswordMovesIntoTheKeyring() {
        test::StoreFolder f;
        f.db.execute(u"UPDATE iniSettings SET iniValue = 'секрет' WHERE iniVariable = "
                     u"'Password'"_s);
        StatusLog log(f.dir.file(u"log.txt"_s));
        Keyring keyring(f.dir.path());
        Settings settings;
        SettingsStore(f.db, log, &keyring).ReadINI(settings);
        QVERIFY(keyring.available());
        QCOMPARE(settings.Password, u"секрет"_s);
        QCOMPARE(storedValue(f.db, u"Password"_s), QString());

        // The next run reads it there; another folder has an account of its own.
        Settings next;
        Keyring again(f.dir.path());
        SettingsStore(f.db, log, &again).ReadINI(next);
        QCOMPARE(next.Password, u"секрет"_s);
        QCOMPARE(Keyring(f.dir.path() + u"/other"_s).read(u"Password"_s), std::optional(QString()));
        QCOMPARE(log.failureCount(), 0);
    }

    // orv-cli set writes where the password is kept: the keyring when the
    // session has one, the store when it has none.
    void theCommandLineWritesWhereThePasswordIsKept() {
        test::TestFolder dir;
        const QString bus = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
        QCOMPARE(cli(dir, {u"set"_s, u"ProxyPass"_s, u"прокси"_s}, bus), 0);
        Database db(dir.file(u"database.mdb"_s));
        db.open();
        QCOMPARE(storedValue(db, u"ProxyPass"_s), QString());
        QCOMPARE(Keyring(dir.path()).read(u"ProxyPass"_s), std::optional(u"прокси"_s));

        QCOMPARE(cli(dir, {u"set"_s, u"Password"_s, u"без"_s}, u"unix:path=/nonexistent"_s), 0);
        QCOMPARE(storedValue(db, u"Password"_s), u"без"_s);
    }

private:
    QTemporaryDir m_home;
    QProcess m_daemon;
};

QTEST_GUILESS_MAIN(KeyringTest)
#include "tst_keyring.moc"
