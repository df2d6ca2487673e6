#include "Statement.h"

#include "Database.h"
#include "app/OrvError.h"

#include <sqlite3.h>

using namespace Qt::StringLiterals;

namespace orv {

Statement::Statement(Database& db, const QString& sql) {
    sqlite3* const connection = db.handle();
    const QByteArray text = sql.toUtf8();
    const char* rest = nullptr;
    if (sqlite3_prepare_v2(connection, text.constData(), int(text.size()), &m_statement, &rest) !=
        SQLITE_OK) {
        const QString error = QString::fromUtf8(sqlite3_errmsg(connection));
        sqlite3_finalize(m_statement);
        throw OrvError(error);
    }
    // The engine prepares the first statement only: a second one would be
    // left out without a word.
    if (!QByteArrayView(rest, text.constData() + text.size() - rest).trimmed().isEmpty()) {
        sqlite3_finalize(m_statement);
        throw OrvError(u"более одной команды в одном запросе"_s);
    }
    m_texts.resize(size_t(sqlite3_bind_parameter_count(m_statement)));
}

Statement::~Statement() {
    sqlite3_finalize(m_statement);
}

void Statement::fail() const {
    throw OrvError(QString::fromUtf8(sqlite3_errmsg(sqlite3_db_handle(m_statement))));
}

void Statement::finish() {
    if (m_stepped) {
        sqlite3_reset(m_statement); // the step's own failure was reported by it
        m_stepped = false;
    }
}

Statement& Statement::bound(int result) {
    if (result != SQLITE_OK) {
        fail();
    }
    return *this;
}

Statement& Statement::bind(int position, const QString& text) {
    finish();
    if (text.isNull()) {
        return bound(sqlite3_bind_null(m_statement, position + 1));
    }
    if (position < 0 || size_t(position) >= m_texts.size()) {
        throw OrvError(QString::fromUtf8(sqlite3_errstr(SQLITE_RANGE)));
    }
    // Bound as UTF-8, which Qt writes several times faster than the engine
    // turns UTF-16 into it; the bytes are kept here until bound anew.
    QByteArray& bytes = m_texts[size_t(position)];
    bytes = text.toUtf8();
    return bound(sqlite3_bind_text(m_statement, position + 1, bytes.constData(), int(bytes.size()),
                                   SQLITE_STATIC));
}

Statement& Statement::bind(int position, qint64 value) {
    finish();
    return bound(sqlite3_bind_int64(m_statement, position + 1, value));
}

Statement& Statement::bind(int position, const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::UnknownType:
        finish();
        return bound(sqlite3_bind_null(m_statement, position + 1));
    case QMetaType::Bool:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
        return bind(position, value.toLongLong());
    case QMetaType::Double:
        finish();
        return bound(sqlite3_bind_double(m_statement, position + 1, value.toDouble()));
    default:
        return bind(position, value.toString());
    }
}

void Statement::exec() {
    finish();
    while (next()) {
    }
}

bool Statement::next() {
    m_stepped = true;
    switch (sqlite3_step(m_statement)) {
    case SQLITE_ROW:
        return true;
    case SQLITE_DONE:
        return false;
    default:
        fail();
        return false;
    }
}

qint64 Statement::integer(int column) const {
    return sqlite3_column_int64(m_statement, column);
}

QString Statement::text(int column) const {
    const auto* value = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column));
    return value ? QString::fromUtf8(value, sqlite3_column_bytes(m_statement, column)) : QString();
}

QByteArrayView Statement::utf8(int column) const {
    const auto* value = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column));
    return QByteArrayView(value, value ? sqlite3_column_bytes(m_statement, column) : 0);
}

qint64 Statement::lastInsertId() const {
    return sqlite3_last_insert_rowid(sqlite3_db_handle(m_statement));
}

qint64 Statement::changes() const {
    return sqlite3_changes64(sqlite3_db_handle(m_statement));
}

} // namespace orv
