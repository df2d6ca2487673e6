#pragma once

#include "AppContext.h"
#include "MainForm.h"
#include "ScriptedPrompts.h"
#include "TestFolder.h"
#include "TrayForm.h"

#include <QSettings>
#include <QSignalSpy>
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

    // The tree is rebuilt off the window's thread: waits until the newest
    // rebuild asked for is shown.
    bool waitForTree() {
        QSignalSpy shown(mainForm.get(), &MainForm::treeShown);
        return !mainForm->isTreeLoading() || shown.wait(20000);
    }

    bool reloadTree() {
        mainForm->ReLoadTree();
        return waitForTree();
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
