#include "SettingsStore.h"

#include "Database.h"
#include "app/ErrorTrap.h"
#include "app/Keyring.h"
#include "app/OrvError.h"

#include <QLocale>
#include <QVariant>
#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

namespace orv {
namespace {

// Which member a key fills; exactly one of the three pointers is set.
struct KeyBinding {
    QStringView key;
    QString Settings::*text = nullptr;
    bool Settings::*flag = nullptr;
    qint16 Settings::*number = nullptr;
    bool writtenBack = true;
};

const KeyBinding kBindings[] = {
    {.key = u"UserName", .text = &Settings::UserName},
    {.key = u"Password", .text = &Settings::Password},
    {.key = u"ServiceURL", .text = &Settings::ServiceURL},
    {.key = u"MaxPost", .text = &Settings::MaxPost},
    {.key = u"CheckTime_Posts", .text = &Settings::CheckTime_Posts},
    {.key = u"CheckTime_Comments", .text = &Settings::CheckTime_Comments},
    {.key = u"CheckTime_Privates", .text = &Settings::CheckTime_Privates},
    {.key = u"CheckTime_Forums", .text = &Settings::CheckTime_Forums},
    {.key = u"CheckTime_Smiles", .text = &Settings::CheckTime_Smiles},
    {.key = u"PostsToGetPerOneSession", .text = &Settings::PostsToGetPerOneSession},
    {.key = u"CommentsToGetPerOneSession", .text = &Settings::CommentsToGetPerOneSession},
    {.key = u"PostsToSendPerOneSession", .text = &Settings::PostsToSendPerOneSession},
    {.key = u"CommentsToSendPerOneSession", .text = &Settings::CommentsToSendPerOneSession},
    {.key = u"LASTSMILEID", .text = &Settings::LASTSMILEID},
    {.key = u"TimeOffset", .text = &Settings::TimeOffset},
    {.key = u"ShowLastDays", .number = &Settings::ShowLastDays},
    {.key = u"AutoLoadComments", .flag = &Settings::AutoLoadComments},
    {.key = u"UseProxy", .flag = &Settings::UseProxy},
    {.key = u"ProxyUname", .text = &Settings::ProxyUname},
    {.key = u"ProxyPass", .text = &Settings::ProxyPass},
    {.key = u"PostsToShow", .text = &Settings::PostsToShow},
    {.key = u"CommentsInTree", .flag = &Settings::CommentsInTree, .writtenBack = false},
    {.key = u"LoadPictures", .flag = &Settings::LoadPictures},
    {.key = u"PictureCacheMB", .text = &Settings::PictureCacheMB},
};

bool isSecret(QStringView key) {
    return key == u"Password" || key == u"ProxyPass";
}

const KeyBinding* bindingFor(const QString& key) {
    for (const KeyBinding& binding : kBindings) {
        if (binding.key == key) { // exact, case-sensitive
            return &binding;
        }
    }
    return nullptr;
}

const QString kTypeMismatch = u"Несоответствие типа"_s;
const QString kNoCurrentRecord = u"Текущая запись отсутствует."_s;

double toNumber(const QString& stored) {
    bool ok = false;
    const double value = QLocale::c().toDouble(stored.trimmed(), &ok);
    if (!ok || !std::isfinite(value)) {
        throw OrvError(kTypeMismatch);
    }
    return value;
}

// A number (zero is false, any other true) or the words True and False.
bool toYesNo(const QString& stored) {
    const QString text = stored.trimmed();
    if (text.compare(u"True"_s, Qt::CaseInsensitive) == 0) {
        return true;
    }
    if (text.compare(u"False"_s, Qt::CaseInsensitive) == 0) {
        return false;
    }
    return toNumber(text) != 0.0;
}

// A signed 16-bit integer, halves rounded to even.
qint16 toSmallInt(const QString& stored) {
    const double rounded = std::nearbyint(toNumber(stored));
    if (rounded < std::numeric_limits<qint16>::min() ||
        rounded > std::numeric_limits<qint16>::max()) {
        throw OrvError(u"Переполнение"_s);
    }
    return static_cast<qint16>(rounded);
}

void assign(Settings& settings, const KeyBinding& binding, const QVariant& stored) {
    const QString text = stored.isNull() ? QString() : stored.toString();
    if (binding.text) {
        settings.*binding.text = text;
    } else if (binding.flag) {
        settings.*binding.flag = toYesNo(text);
    } else {
        settings.*binding.number = toSmallInt(text);
        settings.ShowLastDaysRead =
            settings.ShowLastDaysRead || binding.number == &Settings::ShowLastDays;
    }
}

QString storedForm(const Settings& settings, const KeyBinding& binding) {
    if (binding.text) {
        return settings.*binding.text;
    }
    if (binding.flag) {
        return settings.*binding.flag ? u"1"_s : u"0"_s;
    }
    return QString::number(settings.*binding.number);
}

// Gives the rows the condition picks the value; an unset text is stored as
// an empty one, never as NULL.
void updateValue(Database& db, const QString& condition, const QVariant& picked,
                 const QString& value) {
    QSqlQuery update = db.prepare(u"UPDATE iniSettings SET iniValue = ? WHERE "_s + condition);
    update.addBindValue(value.isNull() ? QString(u""_s) : value);
    update.addBindValue(picked);
    Database::exec(update);
}

} // namespace

SettingsStore::SettingsStore(Database& db, StatusLog& log, Keyring* keyring)
    : m_db(db)
    , m_log(log)
    , m_keyring(keyring) {}

void SettingsStore::placeSecrets(Settings& settings) {
    if (!m_keyring) {
        return;
    }
    for (const KeyBinding& binding : kBindings) {
        if (!isSecret(binding.key)) {
            continue;
        }
        QString& value = settings.*binding.text;
        if (value.isEmpty()) {
            value = m_keyring->read(binding.key.toString()).value_or(QString());
        } else if (m_keyring->write(binding.key.toString(), value)) {
            updateValue(m_db, u"iniVariable = ?"_s, binding.key.toString(), QString());
        }
    }
}

void SettingsStore::ReadINI(Settings& settings) {
    settings.ShowLastDaysRead = false;
    runTrapped(m_log, u"Mod_DB.ReadINI: "_s, [&] {
        QSqlQuery query =
            m_db.prepare(u"SELECT iniVariable, iniValue FROM iniSettings ORDER BY rowid"_s);
        Database::exec(query);
        bool any = false;
        while (query.next()) {
            any = true;
            if (const KeyBinding* binding = bindingFor(query.value(0).toString())) {
                assign(settings, *binding, query.value(1));
            }
        }
        if (!any) {
            throw OrvError(kNoCurrentRecord);
        }
        placeSecrets(settings);
    });
}

void SettingsStore::writeOne(const Settings& settings, const QString& key) {
    runTrapped(m_log, u"Mod_DB.WriteINI: "_s, [&] {
        const KeyBinding* binding = bindingFor(key);
        if (!binding || !binding->writtenBack) {
            return;
        }
        QString stored = storedForm(settings, *binding);
        if (m_keyring && isSecret(key) && m_keyring->write(key, stored)) {
            stored.clear(); // kept in the keyring
        }
        updateValue(m_db, u"iniVariable = ?"_s, key, stored);
    });
}

std::vector<SettingRow> SettingsStore::editorRows() {
    QSqlQuery query = m_db.prepare(
        u"SELECT iniVariable, iniValue, comment FROM iniSettings ORDER BY SortID, rowid"_s);
    Database::exec(query);
    std::vector<SettingRow> rows;
    while (query.next()) {
        rows.push_back(
            {query.value(0).toString(), query.value(1).toString(), query.value(2).toString()});
    }
    return rows;
}

void SettingsStore::saveEditorValues(const QStringList& values) {
    QSqlQuery query = m_db.prepare(u"SELECT rowid FROM iniSettings ORDER BY SortID, rowid"_s);
    Database::exec(query);
    std::vector<qint64> rowids;
    while (query.next()) {
        rowids.push_back(query.value(0).toLongLong());
    }
    query.finish();
    Database::Transaction transaction(m_db);
    const auto count = std::min<qsizetype>(values.size(), qsizetype(rowids.size()));
    for (qsizetype i = 0; i < count; ++i) {
        updateValue(m_db, u"rowid = ?"_s, rowids[size_t(i)], values[i]);
    }
    transaction.commit();
}

} // namespace orv
