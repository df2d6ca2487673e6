#include "TestData.h"
#include "TestFolder.h"
#include "app/OrvError.h"
#include "render/Markup.h"
#include "render/PageBuilder.h"
#include "store/Settings.h"

#include <QtTest>

using namespace Qt::StringLiterals;
using namespace orv;

namespace {

PageBuilder builder(const test::TestFolder& dir) {
    return PageBuilder(dir.file(u"out.htm"_s), u"https://kordenet.ru"_s,
                       [](const QString& body) { return Markup::WordProcessor(body, {}); });
}

MessagePage post() {
    MessagePage m;
    m.messageDate = u"05.03.2006 14:07:00"_s;
    m.author = u"snegir"_s;
    m.title = u"Про погоду"_s;
    m.body = u"[b]Снег[/b]"_s;
    m.kind = u"Post"_s;
    m.journalId = u"71"_s;
    m.postId = u"1001"_s;
    return m;
}

} // namespace

class PagesTest : public QObject {
    Q_OBJECT

private slots:
    // Each page byte by byte (Windows-1251, CR LF) against tests/data/pages.
    void pages_data() {
        test::addRows(u"pages/pages.tsv"_s,
                      {"kind", "title", "commentId", "downloadDate", "withComment", "golden"});
    }

    void pages() {
        const auto [kind, title, commentId, downloadDate, withComment, golden] =
            test::cells({"kind", "title", "commentId", "downloadDate", "withComment", "golden"});
        test::TestFolder dir(test::TestFolder::Icons::None);
        PageBuilder pages = builder(dir);
        if (kind == u"Diary"_s) {
            pages.BuildDiaryPage(u"Ёжик"_s, u"72"_s);
        } else {
            MessagePage p = post();
            p.kind = kind;
            p.title = title;
            p.commentId = commentId;
            p.downloadDate = downloadDate;
            pages.BuildMessagePage(p);
            if (withComment == u"yes"_s) {
                MessagePage c;
                c.messageDate = u"05.03.2006 15:00:09"_s;
                c.author = u"Ёжик"_s;
                c.body = u"Согласен\nвполне"_s;
                c.attachment = u"C:/photo.jpg"_s;
                pages.AddCommentToPage(c);
            }
            pages.ClosePage();
        }
        QCOMPARE(dir.read(u"out.htm"_s), test::dataBytes(u"pages/"_s + golden + u".htm"_s));
    }

    // Dates are shown in local time: the service's plus TimeOffset.
    void datesAreShownInLocalTime_data() {
        QTest::addColumn<QString>("offset");
        QTest::addColumn<QByteArray>("shown");
        QTest::newRow("ahead, past midnight")
            << u"3"_s << QByteArray("01:07:00&nbsp;-&nbsp;06.03.2006");
        QTest::newRow("behind") << u"-3"_s << QByteArray("19:07:00&nbsp;-&nbsp;05.03.2006");
        QTest::newRow("not a number") << u"три"_s << QByteArray("22:07:00&nbsp;-&nbsp;05.03.2006");
    }
    void datesAreShownInLocalTime() {
        QFETCH(QString, offset);
        QFETCH(QByteArray, shown);
        test::TestFolder dir(test::TestFolder::Icons::None);
        Settings settings;
        settings.TimeOffset = offset;
        PageBuilder pages = builder(dir);
        pages.setTimeOffset(settings.timeOffsetHours());
        MessagePage p = post();
        p.messageDate = u"05.03.2006 22:07:00"_s;
        pages.BuildMessagePage(p);
        pages.AddCommentToPage(p);
        QCOMPARE(dir.read(u"out.htm"_s).count(shown), 2);
    }

    void unwritablePageThrows() {
        PageBuilder pages(u"/proc/no/out.htm"_s, {}, [](const QString& b) { return b; });
        QVERIFY_THROWS_EXCEPTION(OrvError, pages.BuildMessagePage(post()));
    }
};

QTEST_GUILESS_MAIN(PagesTest)
#include "tst_pages.moc"
