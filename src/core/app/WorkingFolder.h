#pragma once

#include <QString>

namespace orv {

// The folder the program keeps its files in (the executable's folder unless told
// otherwise) and the fixed names inside it.
class WorkingFolder {
public:
    explicit WorkingFolder(QString appFolder);

    // The folder of the running executable.
    // The program's folder when it runs from where it was built; an installed
    // program (its folder not writable, or a share/ tree beside it) keeps its
    // files in $XDG_DATA_HOME/orv-client instead, created private.
    static WorkingFolder byDefault();

    const QString& AppFolder() const { return m_appFolder; }
    QString PostFilePath() const { return file(QStringLiteral("tmp/post.tmp")); }
    QString outPagePath() const { return file(QStringLiteral("tmp/out.htm")); }
    QString tmpFolder() const { return file(QStringLiteral("tmp")); }
    QString imgFolder() const { return file(QStringLiteral("img")); }
    QString databasePath() const { return file(QStringLiteral("database.mdb")); }
    // Pictures kept for reading offline.
    QString picturesFolder() const { return file(QStringLiteral("pictures")); }
    QString logPath() const { return file(QStringLiteral("log.txt")); }
    QString exchangeLockPath() const { return file(QStringLiteral("exchange.lock")); }
    // The user's own words for the spelling check, one a line.
    QString dictionaryPath() const { return file(QStringLiteral("dictionary.txt")); }

    // Creates the folder when it is missing and proves that files can be made
    // in it (a scratch file, made and removed). Returns the message for the
    // user, naming the folder, when it cannot; empty when all is well.
    QString writeProblem() const;

    // Creates tmp/ when it is missing and makes it, the request file and the
    // log private to the user: requests carry the password. Throws OrvError
    // when tmp/ cannot be made.
    void ensureTmpFolder() const;

private:
    QString file(const QString& relative) const { return m_appFolder + u'/' + relative; }

    QString m_appFolder;
};

} // namespace orv
