#include "StoreCopy.h"

#include "Database.h"
#include "app/OrvError.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace orv::StoreCopy {
namespace {

// Replaces the target at once, as rename(2) does; QFile::rename would refuse.
bool replaceFile(const QString& from, const QString& to) {
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

void removeWithJournal(const QString& path) {
    for (const QString& file : {path, QString(path + u"-wal"_s), QString(path + u"-shm"_s)}) {
        QFile::remove(file);
    }
}

// A read-only look at a file that may be anything.
class Inspection {
public:
    explicit Inspection(const QString& path)
        : m_name(u"inspection-"_s + QUuid::createUuid().toString()) {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, m_name);
        db.setDatabaseName(path);
        db.setConnectOptions(u"QSQLITE_OPEN_READONLY"_s);
        db.open();
    }
    ~Inspection() {
        QSqlDatabase::database(m_name, false).close();
        QSqlDatabase::removeDatabase(m_name);
    }
    Inspection(const Inspection&) = delete;
    Inspection& operator=(const Inspection&) = delete;

    // The first value of each row, or nothing when the engine refuses.
    std::optional<QStringList> column(const QString& sql) const {
        QSqlQuery q(QSqlDatabase::database(m_name, false));
        if (!q.exec(sql)) {
            return std::nullopt;
        }
        QStringList values;
        while (q.next()) {
            values << q.value(0).toString();
        }
        return values;
    }

private:
    const QString m_name;
};

} // namespace

void backup(Database& db, const QString& file) {
    const QString partial = file + u".part"_s;
    QFile::remove(partial);
    try {
        QSqlQuery q = db.prepare(u"VACUUM INTO ?"_s);
        q.addBindValue(partial);
        Database::exec(q);
    } catch (const OrvError& error) {
        QFile::remove(partial);
        throw OrvError(u"Не могу сохранить копию базы в "_s + file + u": "_s + error.text());
    }
    if (!replaceFile(partial, file)) {
        QFile::remove(partial);
        throw OrvError(u"Не могу сохранить копию базы в "_s + file);
    }
}

QString restoreProblem(const QString& file) {
    if (!QFileInfo(file).isFile() || !QFileInfo(file).isReadable()) {
        return u"Не могу прочитать файл "_s + file;
    }
    const Inspection copy(file);
    const auto tables = copy.column(u"SELECT name FROM sqlite_master WHERE name = 'Posts'"_s);
    if (!tables || tables->isEmpty()) {
        return u"Файл "_s + file + u" не является базой программы"_s;
    }
    const auto integrity = copy.column(u"PRAGMA integrity_check"_s);
    if (!integrity || integrity->value(0) != u"ok"_s) {
        return u"Файл "_s + file + u" повреждён"_s;
    }
    const auto version = copy.column(u"PRAGMA user_version"_s);
    if (!version || version->value(0).toInt() > Database::SchemaVersion) {
        return u"Файл "_s + file + u" создан более новой версией программы"_s;
    }
    return {};
}

void restore(Database& db, const QString& file) {
    if (const QString problem = restoreProblem(file); !problem.isEmpty()) {
        throw OrvError(problem);
    }
    const QString store = db.path();
    const QString kept = store + u".before-restore"_s;
    const QString incoming = store + u".restoring"_s;
    removeWithJournal(incoming);
    if (!QFile::copy(file, incoming)) {
        throw OrvError(u"Не могу скопировать "_s + file + u" в рабочую папку"_s);
    }
    db.close(); // the last connection: its log goes back into the file
    removeWithJournal(kept);
    // A log left beside the file would be read into the copy: it goes with
    // the store it belongs to.
    for (const QString& journal : {u"-wal"_s, u"-shm"_s}) {
        replaceFile(store + journal, kept + journal);
    }
    const bool swapped = replaceFile(store, kept) && replaceFile(incoming, store);
    if (!swapped) {
        for (const QString& suffix : {QString(), u"-wal"_s, u"-shm"_s}) {
            replaceFile(kept + suffix, store + suffix);
        }
        removeWithJournal(incoming);
        db.open();
        throw OrvError(u"Не могу заменить файл базы "_s + store);
    }
    db.open();
}

} // namespace orv::StoreCopy
