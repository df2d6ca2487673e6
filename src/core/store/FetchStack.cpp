#include "FetchStack.h"

#include "Database.h"

using namespace Qt::StringLiterals;

namespace orv {

FetchStack::FetchStack(Database& db)
    : m_db(db) {}

void FetchStack::clear() {
    m_db.execute(u"DELETE FROM tmp_MessagesToGet"_s);
}

} // namespace orv
