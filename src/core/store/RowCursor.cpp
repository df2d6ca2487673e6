#include "RowCursor.h"

#include "Database.h"
#include "app/OrvError.h"

#include <sqlite3.h>

namespace orv {

RowCursor::RowCursor(Database& db, const QString& sql) {
    sqlite3* const connection = db.handle();
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(connection, text.constData(), int(text.size()), &m_statement, nullptr) !=
        SQLITE_OK) {
        const QString error = QString::fromUtf8(sqlite3_errmsg(connection));
        sqlite3_finalize(m_statement);
        throw OrvError(error);
    }
}

RowCursor::~RowCursor() {
    sqlite3_finalize(m_statement);
}

bool RowCursor::next() {
    switch (sqlite3_step(m_statement)) {
    case SQLITE_ROW:
        return true;
    case SQLITE_DONE:
        return false;
    default:
        throw OrvError(QString::fromUtf8(sqlite3_errmsg(sqlite3_db_handle(m_statement))));
    }
}

qint64 RowCursor::integer(int column) const {
    return sqlite3_column_int64(m_statement, column);
}

QString RowCursor::text(int column) const {
    const auto* value = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column));
    return value ? QString::fromUtf8(value, sqlite3_column_bytes(m_statement, column)) : QString();
}

} // namespace orv
