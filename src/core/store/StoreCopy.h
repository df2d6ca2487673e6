#pragma once

#include <QString>

namespace orv {

class Database;

// Copies of the store: a consistent copy written while the program runs, and
// the store put back from one. All calls throw OrvError with the reason.
namespace StoreCopy {

// Writes the copy through a file beside the target, renamed into place once
// whole: a failure (a full disk, a folder that cannot be written) leaves no
// partial file, and an existing target stays as it was.
void backup(Database& db, const QString& file);

// Why the file cannot be restored: no store of this program, damaged, or
// written by a newer version. Empty when it can. The file is only read.
QString restoreProblem(const QString& file);

// Puts the copy in place of the store's file and reopens the connection (an
// older copy is upgraded as any older store). The store it replaces is kept
// beside it as "<name>.before-restore". No other connection may be open on
// the store: the caller holds the exchange lock. On a failure the store it
// had stays in place and open.
void restore(Database& db, const QString& file);

} // namespace StoreCopy
} // namespace orv
