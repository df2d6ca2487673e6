#pragma once

#include "AppContext.h"
#include "ExchangeController.h"
#include "MainForm.h"
#include "ScriptedPrompts.h"
#include "StandinServer.h"
#include "StoreCheck.h"
#include "TestFolder.h"
#include "TrayForm.h"
#include "TreeModel.h"
#include "TreePane.h"
#include "app/Cp1251.h"

#include <QAction>
#include <QSettings>
#include <QSignalSpy>
#include <QTreeView>
#include <QtTest>
#include <memory>

namespace orv::test {

// The program's windows over a temporary working folder, with scripted answers
// and a per-user store of its own.
struct GuiFixture {
    TestFolder dir;
    ScriptedPrompts prompts;
    QSettings userStore{dir.file(QStringLiteral("user.ini")), QSettings::IniFormat};
    std::unique_ptr<AppContext> ctx;
    std::unique_ptr<TrayForm> tray;
    std::unique_ptr<MainForm> mainForm;

    explicit GuiFixture(TestFolder::Icons icons = TestFolder::Icons::Copy)
        : dir(icons) {}

    ~GuiFixture() {
        mainForm.reset();
        tray.reset();
    }

    // Builds the windows; Form_Load is the test's to call.
    MainForm& create() {
        ctx = std::make_unique<AppContext>(dir.folder(), prompts, userStore);
        tray = std::make_unique<TrayForm>(*ctx);
        mainForm = std::make_unique<MainForm>(*ctx, *tray);
        tray->attach(mainForm.get());
        return *mainForm;
    }

    // Form_Load, and the first tree shown.
    MainForm& start() {
        create().Form_Load();
        waitForTree();
        return *mainForm;
    }

    TreePane& pane() { return mainForm->treePane(); }
    ExchangeController& exchanges() { return mainForm->exchanges(); }
    TreeModel& model() { return *pane().treeModel(); }

    // The tree is rebuilt off the window's thread: waits until the newest
    // rebuild asked for is shown.
    bool waitForTree() {
        QSignalSpy shown(&pane(), &TreePane::treeShown);
        return !pane().isTreeLoading() || shown.wait(20000);
    }

    bool reloadTree() {
        pane().ReLoadTree();
        return waitForTree();
    }

    // Selects the node in the tree shown once the last rebuild has arrived.
    void select(const QString& key) {
        QVERIFY(waitForTree());
        pane().tree()->setCurrentIndex(model().indexOfKey(key));
    }
    bool shows(const QString& key) { return model().indexOfKey(key).isValid(); }

    QAction* action(const QString& name) { return mainForm->findChild<QAction*>(name); }
    void sql(const QString& statement) { ctx->db.execute(statement); }
    QStringList rows(const QString& query) { return test::rows(ctx->db, query); }
    int count(const QString& query) { return rows(query).value(0, QStringLiteral("-1")).toInt(); }
    // The page the view shows last, as written.
    QString page() { return Cp1251::decode(dir.read(QStringLiteral("tmp/out.htm"))); }
    bool logged(const QString& ending) {
        const QStringList lines = ctx->log.lines();
        return std::any_of(lines.cbegin(), lines.cend(),
                           [&](const QString& line) { return line.endsWith(ending); });
    }

    // Prepares database.mdb with a user name before the start.
    void configure(const QString& userName) { configure({{QStringLiteral("UserName"), userName}}); }

    void configure(const QList<QPair<QString, QString>>& values) {
        Database db(dir.file(QStringLiteral("database.mdb")));
        db.open();
        for (const auto& [key, value] : values) {
            QSqlQuery q = db.prepare(
                QStringLiteral("UPDATE iniSettings SET iniValue = ? WHERE iniVariable = ?"));
            q.addBindValue(value);
            q.addBindValue(key);
            Database::exec(q);
        }
    }
};

// The windows started over an account of the stand-in service on 127.0.0.1,
// seeded with posts and comments of the user's friends.
struct ServiceGuiFixture : GuiFixture {
    standin::StandinData data;
    standin::StandinServer server{data};

    explicit ServiceGuiFixture(int seedPosts, const QString& postsPerBatch = QStringLiteral("10")) {
        data.seed(seedPosts);
        QVERIFY(server.listen());
        configure({{QStringLiteral("UserName"), data.user},
                   {QStringLiteral("Password"), data.password},
                   {QStringLiteral("ServiceURL"), server.url()},
                   {QStringLiteral("MaxPost"), QStringLiteral("10000")},
                   {QStringLiteral("PostsToGetPerOneSession"), postsPerBatch}});
        start();
        exchanges().Timer->stop(); // the tests tick by hand
    }

    // Runs the command and waits for the end of its exchange.
    bool run(void (ExchangeController::*command)()) {
        QSignalSpy finished(&exchanges(), &ExchangeController::exchangeFinished);
        (exchanges().*command)();
        return finished.wait(30000);
    }
    void ticks(int count) {
        for (int i = 0; i < count; ++i) {
            exchanges().Timer_Timer();
        }
    }
};

// Stands in for a desktop with or without a notification area, and restores
// the desktop's own answer at the end of the scope.
struct AssumedNotificationArea {
    explicit AssumedNotificationArea(bool available) {
        TrayForm::assumeNotificationArea(available);
    }
    ~AssumedNotificationArea() { TrayForm::assumeNotificationArea(std::nullopt); }
    AssumedNotificationArea(const AssumedNotificationArea&) = delete;
    AssumedNotificationArea& operator=(const AssumedNotificationArea&) = delete;
};

} // namespace orv::test
