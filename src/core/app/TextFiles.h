#pragma once

#include <QString>

// Scratch-file helpers. Scratch files hold Windows-1251 text, as the service's
// answers do. All but DeleteIfExists throw OrvError, for the caller's trap.
namespace orv::TextFiles {

// Deletes the file if there is one; any failure is ignored.
void DeleteIfExists(const QString& path);

// Creates or truncates the file and writes the text and CR LF in Windows-1251.
// Like every file written here, it is readable by the user only.
void WriteTextFile(const QString& path, const QString& text);

// The whole file, one character per byte. A missing file is an error.
QString ReadWholeFile(const QString& path);

// The first field by the rules of sequential field input: blanks skipped, a
// quoted field runs to the next quote, any other to the first comma, CR or LF.
QString firstField(const QString& text);

// Appends the line and CR LF to a UTF-8 text file, creating it when absent.
// Returns false when the file cannot be written.
bool AppendLine(const QString& path, const QString& line);

} // namespace orv::TextFiles
