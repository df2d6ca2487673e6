#include "AddressBook.h"

#include "Database.h"

#include <QVariant>

using namespace Qt::StringLiterals;

namespace orv {

AddressBook::AddressBook(Database& db)
    : m_db(db) {}

void AddressBook::ensureOldColumn() {
    QSqlQuery columns = m_db.prepare(u"SELECT count(*) FROM pragma_table_info('AddressBook')"_s);
    Database::exec(columns);
    const int count = columns.next() ? columns.value(0).toInt() : 0;
    columns.finish();
    if (count == 3) {
        m_db.execute(u"ALTER TABLE AddressBook ADD COLUMN Old INTEGER NOT NULL DEFAULT 0"_s);
    }
}

void AddressBook::apply(const std::vector<Relation>& relations) {
    Database::Transaction transaction(m_db, Database::Transaction::OnFailure::RollBack);
    m_db.execute(u"UPDATE AddressBook SET Old = 0"_s);
    QSqlQuery find = m_db.prepare(u"SELECT rowid FROM AddressBook WHERE Nick = ? AND Status = ? "
                                  u"ORDER BY rowid LIMIT 1"_s);
    QSqlQuery present = m_db.prepare(u"UPDATE AddressBook SET Old = 1 WHERE rowid = ?"_s);
    QSqlQuery insert =
        m_db.prepare(u"INSERT INTO AddressBook (Nick, Status, New, Old) VALUES (?, ?, 1, 1)"_s);
    for (const auto& [nick, status] : relations) {
        find.bindValue(0, nick);
        find.bindValue(1, status);
        Database::exec(find);
        const QVariant row = find.next() ? find.value(0) : QVariant();
        find.finish();
        if (row.isValid()) {
            present.bindValue(0, row);
            Database::exec(present);
        } else if (!status.isEmpty()) {
            insert.bindValue(0, nick);
            insert.bindValue(1, status);
            Database::exec(insert);
        }
    }
    transaction.commit();
}

QStringList AddressBook::select(const QString& sql, const QString& status) {
    QSqlQuery query = m_db.prepare(sql);
    query.addBindValue(status);
    Database::exec(query);
    QStringList names;
    while (query.next()) {
        names.append(query.value(0).toString());
    }
    return names;
}

QStringList AddressBook::nicks(const QString& status) {
    return select(u"SELECT Nick FROM AddressBook WHERE Status = ? ORDER BY Nick"_s, status);
}

QStringList AddressBook::distinctNicks() {
    QSqlQuery query =
        m_db.prepare(u"SELECT DISTINCT Nick FROM AddressBook WHERE Nick <> '' ORDER BY Nick"_s);
    Database::exec(query);
    QStringList names;
    while (query.next()) {
        names.append(query.value(0).toString());
    }
    return names;
}

QStringList AddressBook::takeArrivals(const QString& status) {
    const QStringList names = select(
        u"SELECT Nick FROM AddressBook WHERE Status = ? AND New = 1 ORDER BY Nick"_s, status);
    QSqlQuery update =
        m_db.prepare(u"UPDATE AddressBook SET New = 0 WHERE Status = ? AND New = 1"_s);
    update.addBindValue(status);
    Database::exec(update);
    return names;
}

QStringList AddressBook::departed(const QString& status) {
    return select(u"SELECT Nick FROM AddressBook WHERE Status = ? AND Old = 0 ORDER BY Nick"_s,
                  status);
}

void AddressBook::deleteDeparted(const QString& status) {
    QSqlQuery remove = m_db.prepare(u"DELETE FROM AddressBook WHERE Status = ? AND Old = 0"_s);
    remove.addBindValue(status);
    Database::exec(remove);
}

} // namespace orv
