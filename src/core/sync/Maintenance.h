#pragma once

#include "app/Session.h"

#include <QDate>
#include <QString>

namespace orv {

// Deletes the read messages older than ShowLastDays days (midnight that day is
// the cut-off); "MainForm.DeleteOldRecords: " on failure.
void DeleteOldRecords(const Session& session, const QDate& today = QDate::currentDate());

// Puts a post number typed by the user on the fetch stack for the next
// receive run. False, with nothing stacked, for text that is no number.
bool StackSinglePost(const Session& session, const QString& typed);

} // namespace orv
