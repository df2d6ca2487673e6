#include "PrivateFiles.h"

#include <QDir>
#include <QFileInfo>

namespace orv::PrivateFiles {
namespace {

constexpr QFile::Permissions kFile = QFile::ReadOwner | QFile::WriteOwner;
constexpr QFile::Permissions kFolder = kFile | QFile::ExeOwner;

} // namespace

bool open(QFile& file, QIODevice::OpenMode mode) {
    if (!file.open(mode, kFile)) {
        return false;
    }
    if (file.permissions() != kFile) { // it existed with a wider mode
        file.setPermissions(kFile);
    }
    return true;
}

bool makeFolder(const QString& path) {
    const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    if (QFileInfo(absolute).isDir()) {
        return true;
    }
    const QString parent = QFileInfo(absolute).path();
    if (parent == absolute || !makeFolder(parent)) {
        return false;
    }
    // Made with its mode: never open to others, not even for a moment.
    return QDir().mkdir(absolute, kFolder) || QFileInfo(absolute).isDir();
}

void restrict(const QString& path) {
    const QFileInfo info(path);
    if (info.isDir()) {
        QFile::setPermissions(path, kFolder);
    } else if (info.exists()) {
        QFile::setPermissions(path, kFile);
    }
}

} // namespace orv::PrivateFiles
