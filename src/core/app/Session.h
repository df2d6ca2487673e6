#pragma once

#include "PictureCheck.h"
#include "RunControl.h"

#include <atomic>
#include <chrono>

namespace orv {

class Database;
class StatusLog;
class UserPrompts;
class WorkingFolder;
struct Settings;

// What one exchange run works with. A run on a worker thread has a database
// connection and a copy of the settings of its own, and shares the status log,
// the user's prompts and the connection-failure flag with the window.
struct Session {
    const WorkingFolder& folder;
    StatusLog& log;
    Database& db;
    Settings& settings;
    UserPrompts& prompts;
    std::atomic<bool>& ConnectionFailed;
    std::chrono::milliseconds exchangeTimeout;
    // Progress and cancel of a run the window follows; none for the others.
    RunControl* control = nullptr;
    // Decodes fetched pictures before they are kept.
    PictureCheck isPicture = {};

    bool cancelled() const { return control && control->cancelled(); }
    void progress(int done, int total) const {
        if (control) {
            control->progress(done, total);
        }
    }
};

} // namespace orv
