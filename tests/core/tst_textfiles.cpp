#include "TestData.h"
#include "TestFolder.h"
#include "app/Cp1251.h"
#include "app/OrvError.h"
#include "app/StatusLog.h"
#include "app/TextFiles.h"
#include "app/WorkingFolder.h"

#include <QFile>
#include <QSignalSpy>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace orv;

class TextFilesTest : public QObject {
    Q_OBJECT

private slots:
    void codePageDecodesEveryByteAndRoundTrips() {
        QCOMPARE(Cp1251::decode(QByteArray("\xC0\xE0")), u"Аа"_s);
        QByteArray all;
        for (int b = 0; b < 256; ++b) {
            all.append(char(b));
        }
        const QString text = Cp1251::decode(all);
        QCOMPARE(text.size(), 256);
        QCOMPARE(Cp1251::encode(text), all);
    }

    void codePageReplacesWhatItCannotHold() {
        QCOMPARE(Cp1251::encode(u"Ёё€№«»"_s), QByteArray("\xA8\xB8\x88\xB9\xAB\xBB"));
        // One "?" per character, also for one outside the basic plane.
        QCOMPARE(Cp1251::encode(u"a日😀b"_s), QByteArray("a??b"));
        QVERIFY(!Cp1251::canEncode(U'日'));
        QVERIFY(Cp1251::canEncode(U'ж'));
    }

    // Scratch files: Windows-1251 with a final CR LF; errors are thrown for
    // the caller's trap, except where a missing file is fine.
    void scratchFiles() {
        test::TestFolder dir(test::TestFolder::Icons::None);
        TextFiles::WriteTextFile(dir.file(u"x.txt"_s), u"x"_s);
        QCOMPARE(TextFiles::ReadWholeFile(dir.file(u"x.txt"_s)), u"x\r\n"_s);
        TextFiles::WriteTextFile(dir.file(u"x.txt"_s), u"Привет 😀"_s);
        QCOMPARE(dir.read(u"x.txt"_s), QByteArray("\xCF\xF0\xE8\xE2\xE5\xF2 ?\r\n"));
        TextFiles::WriteTextFile(dir.file(u"x.txt"_s), u"x"_s); // nothing of the longer text left
        QCOMPARE(dir.read(u"x.txt"_s), QByteArray("x\r\n"));
        QVERIFY_THROWS_EXCEPTION(OrvError, TextFiles::ReadWholeFile(dir.file(u"none"_s)));
        QVERIFY_THROWS_EXCEPTION(OrvError,
                                 TextFiles::WriteTextFile(dir.file(u"no/such/x"_s), u"x"_s));
        dir.write(u"empty"_s, {});
        QCOMPARE(TextFiles::ReadWholeFile(dir.file(u"empty"_s)), QString());
        TextFiles::DeleteIfExists(dir.file(u"x.txt"_s));
        QVERIFY(!QFile::exists(dir.file(u"x.txt"_s)));
        TextFiles::DeleteIfExists(dir.file(u"x.txt"_s));
        TextFiles::DeleteIfExists(dir.file(u"missing/folder/f"_s));

        const WorkingFolder folder(dir.path() + u"/"_s);
        QCOMPARE(folder.AppFolder(), dir.path()); // without the trailing slash
        folder.ensureTmpFolder();
        folder.ensureTmpFolder(); // an existing folder is fine
        QVERIFY(QFileInfo(folder.tmpFolder()).isDir());
        QVERIFY_THROWS_EXCEPTION(OrvError, WorkingFolder(u"/proc/orv-no-such"_s).ensureTmpFolder());
    }

    void firstField_data() { test::addRows(u"app/first-field.tsv"_s, {"text", "field"}); }

    void firstField() {
        const auto [text, field] = test::cells({"text", "field"});
        QCOMPARE(TextFiles::firstField(text), field);
    }

    void statusLineIsTimeStampedAndLogged() {
        test::TestFolder dir(test::TestFolder::Icons::None);
        StatusLog log(dir.file(u"log.txt"_s));
        log.setClock([] { return QTime(14, 3, 9); });
        QSignalSpy added(&log, &StatusLog::lineAdded);
        log.LogStatus(u"Программа запущена"_s);
        log.LogStatus(u"второе"_s);

        const QString first = u"14:03:09  Программа запущена"_s;
        QCOMPARE(log.lines(), QStringList({first, u"14:03:09  второе"_s}));
        QCOMPARE(log.currentText(), u"14:03:09  второе"_s);
        QCOMPARE(added.count(), 2);
        QCOMPARE(added.first().first().toString(), first);
        QCOMPARE(dir.read(u"log.txt"_s), (first + u"\r\n14:03:09  второе\r\n"_s).toUtf8());
        QVERIFY(QFile::remove(dir.file(u"log.txt"_s))); // by the user, while the program runs
        log.LogStatus(u"третье"_s);
        QCOMPARE(dir.read(u"log.txt"_s), u"14:03:09  третье\r\n"_s.toUtf8());

        StatusLog lost(dir.file(u"missing-folder/log.txt"_s)); // the line survives
        lost.LogStatus(u"строка"_s);
        QCOMPARE(lost.lines().size(), 1);
    }
};

QTEST_GUILESS_MAIN(TextFilesTest)
#include "tst_textfiles.moc"
