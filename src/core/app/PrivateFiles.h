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

// Narrows an existing file to 0600, a folder to 0700; a missing path is left
// alone. Failures are ignored: the file then keeps the mode it had.
void restrict(const QString& path);

} // namespace orv::PrivateFiles
