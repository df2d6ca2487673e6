#include "Maintenance.h"

#include "app/ErrorTrap.h"
#include "store/FetchStack.h"
#include "store/Housekeeping.h"
#include "store/Settings.h"
#include "store/StoredDate.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace orv {

void DeleteOldRecords(const Session& session, const QDate& today) {
    runTrapped(session.log, u"MainForm.DeleteOldRecords: "_s, [&] {
        // Midnight as text: a local midnight may not exist on a summer-time day.
        const QDate cutoff = today.addDays(-session.settings.daysToKeep());
        Housekeeping(session.db).purgeReadBefore(StoredDate::startOfDay(cutoff));
    });
}

bool StackSinglePost(const Session& session, const QString& typed) {
    static const QRegularExpression digits(u"^[0-9]+$"_s);
    const QString number = typed.trimmed();
    if (!digits.match(number).hasMatch()) {
        return false;
    }
    return runTrapped(session.log, u"MainForm.mnuSinglePost_Click: "_s,
                      [&] { FetchStack(session.db).add({number}, FetchStack::Posts); });
}

} // namespace orv
