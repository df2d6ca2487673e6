#pragma once

#include <QFile>
#include <QString>

// The working folder's files carry the password (the database, the request
// documents) or what the user reads (the log): they are readable by the user
// only, whatever the umask or the mode an older version left.
namespace orv::PrivateFiles {

// Opens the file; one that is created gets mode 0600 from the start, one that
// exists is narrowed to it. False when it cannot be opened.
bool open(QFile& file, QIODevice::OpenMode mode);

// Creates the folder and any missing parents, each one made here 0700
// whatever the umask; folders that exist keep their mode. False when one
// cannot be made.
bool makeFolder(const QString& path);

// Narrows an existing file to 0600, a folder to 0700; a missing path is left
// alone. Failures are ignored: the file then keeps the mode it had.
void restrict(const QString& path);

} // namespace orv::PrivateFiles
