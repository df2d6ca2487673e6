#pragma once

#include "Settings.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace orv {

class Database;
class Keyring;
class StatusLog;

// One row of iniSettings as the settings editor shows it.
struct SettingRow {
    QString key;
    QString value;
    QString comment;
};

// Reads and writes the iniSettings table.
class SettingsStore {
public:
    // With a keyring, the passwords live there when it is available: a
    // password found in the table moves into it, and leaves the table only
    // once the keyring confirmed the write.
    SettingsStore(Database& db, StatusLog& log, Keyring* keyring = nullptr);

    // Copies every row whose key matches a setting exactly into it. A value that
    // does not convert ends the reading there ("Mod_DB.ReadINI: "); settings
    // read before it keep their new values.
    void ReadINI(Settings& settings);

    // Stores one setting into its rows only, so that a run on another
    // connection never writes back settings the user changed meanwhile.
    // A failure is logged with "Mod_DB.WriteINI: ".
    void writeOne(const Settings& settings, const QString& key);

    // The rows in display order. Throws OrvError.
    std::vector<SettingRow> editorRows();

    // Gives row i (in display order) the value i; rows past the list keep
    // theirs. Rows stored before a failure stay stored. Throws OrvError.
    void saveEditorValues(const QStringList& values);

private:
    void placeSecrets(Settings& settings);

    Database& m_db;
    StatusLog& m_log;
    Keyring* m_keyring;
};

} // namespace orv
