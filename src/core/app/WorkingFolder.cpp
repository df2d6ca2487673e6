#include "WorkingFolder.h"

#include "OrvError.h"
#include "PrivateFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryFile>

using namespace Qt::StringLiterals;

namespace orv {

WorkingFolder::WorkingFolder(QString appFolder)
    : m_appFolder(QDir::cleanPath(std::move(appFolder))) {
    while (m_appFolder.size() > 1 && m_appFolder.endsWith(u'/')) {
        m_appFolder.chop(1);
    }
}

WorkingFolder WorkingFolder::byDefault() {
    const QString own = QCoreApplication::applicationDirPath();
    const bool installed = !QFileInfo(own).isWritable() ||
                           QFileInfo::exists(own + u"/../share/applications/orv.desktop"_s);
    if (!installed) {
        return WorkingFolder(own);
    }
    const QString data =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u"/orv-client"_s;
    if (PrivateFiles::makeFolder(data)) {
        PrivateFiles::restrict(data);
    }
    return WorkingFolder(data);
}

QString WorkingFolder::writeProblem() const {
    // Write permission bits say nothing for root, and a folder can be read-only
    // through its file system: only a file that gets made tells.
    if (PrivateFiles::makeFolder(m_appFolder)) {
        QTemporaryFile probe(m_appFolder + u"/.orv-write-check-XXXXXX"_s);
        if (probe.open()) {
            return {};
        }
    }
    return u"Не могу писать в рабочую папку: "_s +
           QDir::toNativeSeparators(QFileInfo(m_appFolder).absoluteFilePath()) +
           u". Выберите другую папку ключом --folder."_s;
}

void WorkingFolder::ensureTmpFolder() const {
    const QString tmp = tmpFolder();
    if (!PrivateFiles::makeFolder(tmp)) {
        throw OrvError(u"Не могу создать папку "_s + tmp);
    }
    PrivateFiles::restrict(tmp);
    PrivateFiles::restrict(PostFilePath()); // a request left behind by a killed run
    PrivateFiles::restrict(logPath());
}

} // namespace orv
