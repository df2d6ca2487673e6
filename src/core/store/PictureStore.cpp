#include "PictureStore.h"

#include "Database.h"
#include "Statement.h"
#include "app/OrvError.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QUrl>
#include <QVariant>

using namespace Qt::StringLiterals;

namespace orv {
namespace {

// Addresses are kept in one spelling, however a page wrote them.
QString keyOf(const QString& url) {
    return QUrl(url).toString(QUrl::FullyEncoded);
}

qint64 nowMs() {
    return QDateTime::currentMSecsSinceEpoch();
}

} // namespace

PictureStore::PictureStore(Database& db, QString folder)
    : m_db(db)
    , m_folder(std::move(folder)) {}

QString PictureStore::pathFor(const QString& url) const {
    const QByteArray hash = QCryptographicHash::hash(keyOf(url).toUtf8(), QCryptographicHash::Sha1);
    return m_folder + u'/' + QString::fromLatin1(hash.toHex());
}

void PictureStore::want(const QStringList& urls) {
    if (urls.isEmpty()) {
        return;
    }
    Database::Transaction transaction(m_db);
    QSqlQuery insert = m_db.prepare(u"INSERT OR IGNORE INTO Pictures (URL) VALUES (?)"_s);
    for (const QString& url : urls) {
        insert.addBindValue(keyOf(url));
        Database::exec(insert);
    }
    transaction.commit();
}

QStringList PictureStore::waiting() {
    QSqlQuery q = m_db.prepare(
        u"SELECT URL FROM Pictures WHERE Bytes IS NULL AND Misses < ? ORDER BY rowid"_s);
    q.addBindValue(MaxMisses);
    Database::exec(q);
    QStringList urls;
    while (q.next()) {
        urls.append(q.value(0).toString());
    }
    return urls;
}

void PictureStore::keep(const QString& url, const QString& fetchedFile) {
    const QString path = pathFor(url);
    QFile::remove(path);
    QFile fetched(fetchedFile);
    if (!fetched.rename(path)) {
        throw OrvError(u"не удалось сохранить картинку "_s + path + u" ("_s +
                       fetched.errorString() + u')');
    }
    QSqlQuery q = m_db.prepare(
        u"INSERT INTO Pictures (URL, Bytes, Shown) VALUES (?, ?, ?) ON CONFLICT (URL) DO "
        u"UPDATE SET Bytes = excluded.Bytes, Shown = excluded.Shown, Misses = 0"_s);
    q.addBindValue(keyOf(url));
    q.addBindValue(QFile(path).size());
    q.addBindValue(nowMs());
    Database::exec(q);
}

bool PictureStore::missed(const QString& url) {
    QSqlQuery q = m_db.prepare(
        u"INSERT INTO Pictures (URL, Misses) VALUES (?, 1) ON CONFLICT (URL) DO UPDATE SET "
        u"Misses = Misses + 1 RETURNING Misses"_s);
    q.addBindValue(keyOf(url));
    Database::exec(q);
    return q.next() && q.value(0).toInt() == 1;
}

std::optional<QString> PictureStore::keptFile(const QString& url) {
    QSqlQuery q = m_db.prepare(u"SELECT 1 FROM Pictures WHERE URL = ? AND Bytes IS NOT NULL"_s);
    q.addBindValue(keyOf(url));
    Database::exec(q);
    const QString path = pathFor(url);
    if (!q.next() || !QFile::exists(path)) {
        return std::nullopt;
    }
    return path;
}

void PictureStore::markShown(const QString& url) {
    QSqlQuery q = m_db.prepare(u"UPDATE Pictures SET Shown = ? WHERE URL = ?"_s);
    q.addBindValue(nowMs());
    q.addBindValue(keyOf(url));
    Database::exec(q);
}

qint64 PictureStore::keptBytes() {
    QSqlQuery q = m_db.prepare(u"SELECT TOTAL(Bytes) FROM Pictures"_s);
    Database::exec(q);
    return q.next() ? qint64(q.value(0).toDouble()) : 0;
}

int PictureStore::evict(qint64 capBytes) {
    qint64 total = keptBytes();
    if (total <= capBytes) {
        return 0;
    }
    QSqlQuery oldest = m_db.prepare(
        u"SELECT URL, Bytes FROM Pictures WHERE Bytes IS NOT NULL ORDER BY Shown, rowid"_s);
    Database::exec(oldest);
    QStringList gone;
    while (total > capBytes && oldest.next()) {
        gone.append(oldest.value(0).toString());
        total -= oldest.value(1).toLongLong();
    }
    oldest.finish();
    Database::Transaction transaction(m_db);
    QSqlQuery forget = m_db.prepare(u"DELETE FROM Pictures WHERE URL = ?"_s);
    for (const QString& url : gone) {
        forget.addBindValue(url);
        Database::exec(forget);
    }
    transaction.commit();
    for (const QString& url : gone) {
        QFile::remove(pathFor(url)); // after the rows: a file without a row is never shown
    }
    return int(gone.size());
}

PictureStore::Mark PictureStore::mark() {
    QSqlQuery q = m_db.prepare(u"SELECT (SELECT IFNULL(MAX(ThisID), 0) FROM Posts), "
                               u"(SELECT IFNULL(MAX(ThisID), 0) FROM Comments)"_s);
    Database::exec(q);
    return q.next() ? Mark{q.value(0).toLongLong(), q.value(1).toLongLong()} : Mark{};
}

void PictureStore::forEachBodySince(const Mark& mark, const BodyVisitor& visit) {
    // LIKE ignores the case of ASCII letters: the engine passes over the
    // bodies without a picture, most of them, without handing them out.
    const QString named = u" WHERE ThisID > ? AND Sent = 1 AND (Message LIKE '%<img%' OR "
                          u"AttachPath <> '')"_s;
    Statement q(m_db, u"SELECT Message, AttachPath FROM Posts"_s + named +
                          u" UNION ALL SELECT Message, AttachPath FROM Comments"_s + named);
    q.bind(0, mark.post).bind(1, mark.comment);
    while (q.next()) {
        visit(q.text(0), q.text(1));
    }
}

} // namespace orv
