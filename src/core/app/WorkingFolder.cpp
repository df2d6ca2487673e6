#include "WorkingFolder.h"

#include "OrvError.h"
#include "PrivateFiles.h"

#include <QCoreApplication>
#include <QDir>

using namespace Qt::StringLiterals;

namespace orv {

WorkingFolder::WorkingFolder(QString appFolder)
    : m_appFolder(QDir::cleanPath(std::move(appFolder))) {
    while (m_appFolder.size() > 1 && m_appFolder.endsWith(u'/')) {
        m_appFolder.chop(1);
    }
}

WorkingFolder WorkingFolder::ofExecutable() {
    return WorkingFolder(QCoreApplication::applicationDirPath());
}

void WorkingFolder::ensureTmpFolder() const {
    const QString tmp = tmpFolder();
    if (!QDir(tmp).exists() && !QDir().mkpath(tmp)) {
        throw OrvError(u"Не могу создать папку "_s + tmp);
    }
    PrivateFiles::restrict(tmp);
    PrivateFiles::restrict(PostFilePath()); // a request left behind by a killed run
    PrivateFiles::restrict(logPath());
}

} // namespace orv
