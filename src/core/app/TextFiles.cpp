#include "TextFiles.h"

#include "Cp1251.h"
#include "OrvError.h"

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
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        throw OrvError(u"Не могу записать файл "_s + path + u" ("_s + file.errorString() + u')');
    }
    const QByteArray bytes = Cp1251::encode(text) + "\r\n";
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        throw OrvError(u"Не могу записать файл "_s + path + u" ("_s + file.errorString() + u')');
    }
}

QString ReadWholeFile(const QString& path) {
    return Cp1251::decode(readAll(path));
}

QString ReadFirstField(const QString& path) {
    const QByteArray bytes = readAll(path);
    qsizetype start = 0;
    while (start < bytes.size() && (bytes[start] == ' ' || bytes[start] == '\t')) {
        ++start;
    }
    if (start < bytes.size() && bytes[start] == '"') {
        const qsizetype close = bytes.indexOf('"', start + 1);
        const qsizetype end = close < 0 ? bytes.size() : close;
        return Cp1251::decode(bytes.mid(start + 1, end - start - 1));
    }
    qsizetype end = start;
    while (end < bytes.size() && bytes[end] != ',' && bytes[end] != '\r' && bytes[end] != '\n') {
        ++end;
    }
    return Cp1251::decode(bytes.mid(start, end - start));
}

bool AppendLine(const QString& path, const QString& line) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        return false;
    }
    const QByteArray bytes = line.toUtf8() + "\r\n";
    return file.write(bytes) == bytes.size();
}

} // namespace orv::TextFiles
