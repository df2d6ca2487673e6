#pragma once

#include "app/Keyring.h"
#include "app/Session.h"
#include "app/StatusLog.h"
#include "app/WorkingFolder.h"
#include "store/Database.h"
#include "store/Options.h"
#include "store/Settings.h"

#include <atomic>
#include <chrono>

class QSettings;

namespace orv {

class UserPrompts;

// What the procedures of one run share: the working folder, the status log, the
// database connection, the settings in memory and the user's decisions. Built
// once at start-up and handed on by reference.
struct AppContext {
    AppContext(WorkingFolder workingFolder, UserPrompts& userPrompts, QSettings& perUserStore)
        : folder(std::move(workingFolder))
        , log(folder.logPath())
        , db(folder.databasePath())
        , keyring(folder.AppFolder())
        , prompts(userPrompts)
        , userStore(perUserStore) {}

    AppContext(const AppContext&) = delete;
    AppContext& operator=(const AppContext&) = delete;

    const WorkingFolder folder;
    StatusLog log;
    Database db;
    Keyring keyring; // the passwords, where the desktop has a keyring
    Settings settings;
    Options options;
    UserPrompts& prompts;
    QSettings& userStore; // holds the options

    // Set by the first failed exchange; its message box is not shown again.
    std::atomic<bool> ConnectionFailed{false};
    // An exchange that has not completed by then fails like a lost connection.
    std::chrono::milliseconds exchangeTimeout{std::chrono::seconds(60)};
    // Set by the programs: the logic cannot decode pictures itself.
    PictureCheck isPicture;

    // The run of this thread: the window's own connection and settings.
    Session session() {
        return {folder,          log,     db,       settings, prompts, ConnectionFailed,
                exchangeTimeout, nullptr, isPicture};
    }
};

} // namespace orv
