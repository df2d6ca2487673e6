#include "TestFolder.h"

#include <QDir>
#include <QFile>
#include <QtTest>

namespace orv::test {

TestFolder::TestFolder(Icons icons) {
    QVERIFY2(m_dir.isValid(), "no temporary folder");
    if (icons == Icons::Copy) {
        QDir().mkpath(m_dir.filePath(QStringLiteral("img")));
        const QDir source(QStringLiteral(ORV_IMG_DIR));
        for (const QString& name : source.entryList(QDir::Files)) {
            QFile::copy(source.filePath(name), m_dir.filePath(QStringLiteral("img/") + name));
        }
    }
}

QByteArray TestFolder::read(const QString& relative) const {
    QFile f(file(relative));
    if (!f.open(QIODevice::ReadOnly)) {
        return {};
    }
    return f.readAll();
}

void TestFolder::write(const QString& relative, const QByteArray& bytes) const {
    QFile f(file(relative));
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

} // namespace orv::test
