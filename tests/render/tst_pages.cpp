#include "TestData.h"
#include "TestFolder.h"
#include "app/OrvError.h"
#include "render/Markup.h"
#include "render/PageBuilder.h"

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
    m.downloadDate = u"06.03.2006 09:00:00"_s;
    return m;
}

} // namespace

class PagesTest : public QObject {
    Q_OBJECT

private slots:
    // Each page byte by byte (Windows-1251, CR LF) against tests/data/pages.
    void pages_data() {
        QTest::addColumn<QString>("golden");
        QTest::newRow("post with a comment") << u"post-with-comment"_s;
        QTest::newRow("post without download date") << u"post-without-download-date"_s;
        QTest::newRow("comment") << u"comment"_s;
        QTest::newRow("private message") << u"private"_s;
        QTest::newRow("diary") << u"diary"_s;
        QTest::newRow("outside the code page") << u"outside-code-page"_s;
    }

    void pages() {
        QFETCH(QString, golden);
        test::TestFolder dir(test::TestFolder::Icons::None);
        PageBuilder pages = builder(dir);
        MessagePage p = post();
        if (golden == u"diary"_s) {
            pages.BuildDiaryPage(u"Ёжик"_s, u"72"_s);
        } else {
            if (golden == u"post-without-download-date"_s) {
                p.downloadDate.clear();
            } else if (golden == u"comment"_s) {
                p.kind = u"Comment"_s;
                p.commentId = u"50007"_s;
            } else if (golden == u"private"_s) {
                p.kind = u"Private"_s;
                p.title = u"Приватное сообщение"_s;
            } else if (golden == u"outside-code-page"_s) {
                p.title = u"Привет 😀"_s;
            }
            pages.BuildMessagePage(p);
            if (golden == u"post-with-comment"_s) {
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

    void unwritablePageThrows() {
        PageBuilder pages(u"/proc/no/out.htm"_s, {}, [](const QString& b) { return b; });
        QVERIFY_THROWS_EXCEPTION(OrvError, pages.BuildMessagePage(post()));
    }
};

QTEST_GUILESS_MAIN(PagesTest)
#include "tst_pages.moc"
