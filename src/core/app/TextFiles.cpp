#include "TextFiles.h"

#include "Cp1251.h"
#include "OrvError.h"
#include "PrivateFiles.h"

#include <QFile>

using namespace Qt::StringLiterals;

namespace orv::TextFiles {
namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw OrvError(u"Файл не найден: "_s + path + u" ("_s + file.errorString() + u')');
    }
    return file.readAll();
}

} // namespace

void DeleteIfExists(const QString& path) {
    QFile::remove(path);
}

void WriteTextFile(const QString& path, const QString& text) {
    // Written over in place and then cut to its length: a file emptied on
    // opening makes the file system write it out at once when it is closed,
    // which cost more than the rest of an exchange that rewrites the trace.
    QFile file(path);
    if (!PrivateFiles::open(file, QIODevice::ReadWrite)) {
        throw OrvError(u"Не могу записать файл "_s + path + u" ("_s + file.errorString() + u')');
    }
    const QByteArray bytes = Cp1251::encode(text) + "\r\n";
    if (file.write(bytes) != bytes.size() || !file.flush() || !file.resize(bytes.size())) {
        throw OrvError(u"Не могу записать файл "_s + path + u" ("_s + file.errorString() + u')');
    }
}

QString ReadWholeFile(const QString& path) {
    return Cp1251::decode(readAll(path));
}

QString firstField(const QString& text) {
    qsizetype start = 0;
    while (start < text.size() && (text[start] == u' ' || text[start] == u'\t')) {
        ++start;
    }
    if (start < text.size() && text[start] == u'"') {
        const qsizetype close = text.indexOf(u'"', start + 1);
        const qsizetype end = close < 0 ? text.size() : close;
        return text.mid(start + 1, end - start - 1);
    }
    qsizetype end = start;
    while (end < text.size() && text[end] != u',' && text[end] != u'\r' && text[end] != u'\n') {
        ++end;
    }
    return text.mid(start, end - start);
}

bool AppendLine(const QString& path, const QString& line) {
    QFile file(path);
    if (!PrivateFiles::open(file, QIODevice::WriteOnly | QIODevice::Append)) {
        return false;
    }
    const QByteArray bytes = line.toUtf8() + "\r\n";
    return file.write(bytes) == bytes.size();
}

} // namespace orv::TextFiles
