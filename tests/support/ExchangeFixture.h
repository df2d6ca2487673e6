#pragma once

#include "AppContext.h"
#include "ScriptedPrompts.h"
#include "StandinServer.h"
#include "TestFolder.h"
#include "store/SettingsStore.h"

#include <QSettings>
#include <QtTest>

namespace orv::test {

// A working folder with an open database, an account configured for the
// stand-in service running in this thread, and scripted answers.
struct ExchangeFixture {
    TestFolder dir;
    ScriptedPrompts prompts;
    QSettings userStore{dir.file(QStringLiteral("user.ini")), QSettings::IniFormat};
    AppContext ctx{dir.folder(), prompts, userStore};
    standin::StandinData data;
    standin::StandinServer server{data};

    explicit ExchangeFixture(int seedPosts = 0) {
        if (seedPosts > 0) {
            data.seed(seedPosts);
        }
        QVERIFY(server.listen());
        ctx.folder.ensureTmpFolder();
        ctx.db.open();
        SettingsStore(ctx.db, ctx.log).ReadINI(ctx.settings);
        ctx.settings.UserName = data.user;
        ctx.settings.Password = data.password;
        ctx.settings.ServiceURL = server.url();
        ctx.settings.MaxPost = QStringLiteral("50");
        ctx.exchangeTimeout = std::chrono::seconds(5);
    }
};

} // namespace orv::test
