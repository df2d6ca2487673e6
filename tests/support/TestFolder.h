#pragma once

#include "app/WorkingFolder.h"

#include <QByteArray>
#include <QTemporaryDir>

namespace orv::test {

// A fresh working folder in a temporary directory, removed afterwards.
class TestFolder {
public:
    enum class Icons { Copy, None };

    explicit TestFolder(Icons icons = Icons::Copy);

    QString path() const { return m_dir.path(); }
    WorkingFolder folder() const { return WorkingFolder(m_dir.path()); }
    QString file(const QString& relative) const { return m_dir.filePath(relative); }

    QByteArray read(const QString& relative) const;
    void write(const QString& relative, const QByteArray& bytes) const;

private:
    QTemporaryDir m_dir;
};

} // namespace orv::test
