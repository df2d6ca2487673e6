#include "Drafts.h"

#include "Database.h"
#include "StoredDate.h"

#include <QVariant>

using namespace Qt::StringLiterals;

namespace orv {
namespace {

// The row of the one editor.
constexpr int kEditorRow = 1;

} // namespace

Drafts::Drafts(Database& db)
    : m_db(db) {}

void Drafts::keep(const QString& state) {
    QSqlQuery q =
        m_db.prepare(u"INSERT OR REPLACE INTO Drafts (ID, Saved, State) VALUES (?, ?, ?)"_s);
    q.addBindValue(kEditorRow);
    q.addBindValue(StoredDate::now());
    q.addBindValue(state);
    Database::exec(q);
}

std::optional<Drafts::Kept> Drafts::left() {
    QSqlQuery q = m_db.prepare(u"SELECT Saved, State FROM Drafts WHERE ID = ?"_s);
    q.addBindValue(kEditorRow);
    Database::exec(q);
    if (!q.next()) {
        return std::nullopt;
    }
    return Kept{q.value(0).toString(), q.value(1).toString()};
}

void Drafts::discard() {
    QSqlQuery q = m_db.prepare(u"DELETE FROM Drafts WHERE ID = ?"_s);
    q.addBindValue(kEditorRow);
    Database::exec(q);
}

} // namespace orv
