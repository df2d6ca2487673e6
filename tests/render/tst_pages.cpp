#include "TestData.h"
#include "TestFolder.h"
#include "app/Cp1251.h"
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

    // Values of the store stay values, whatever they hold.
    void storedValuesCannotBreakOutOfThePage() {
        test::TestFolder dir(test::TestFolder::Icons::None);
        PageBuilder pages = builder(dir);
        MessagePage p = post();
        p.author = u"x'><script>alert(1)</script>"_s;
        p.title = u"<img src=x onerror=alert(1)>Заголовок"_s;
        p.postId = u"1' onmouseover='alert(1)"_s;
        pages.BuildMessagePage(p);
        p.title = u"<script>x</script>"_s;
        p.attachment = u"javascript:alert(1)"_s;
        pages.AddCommentToPage(p);
        QString page = Cp1251::decode(dir.read(u"out.htm"_s));
        pages.BuildDiaryPage(p.author, p.postId);
        page += Cp1251::decode(dir.read(u"out.htm"_s));
        for (const QString& escaped :
             {u"<script"_s, u"onerror"_s, u"' onmouseover"_s, u"javascript"_s}) {
            QVERIFY2(!page.contains(escaped, Qt::CaseInsensitive), qPrintable(escaped));
        }
        QVERIFY(page.contains(u">x&#39;&gt;&lt;script&gt;"_s));
    }

    void unwritablePageThrows() {
        PageBuilder pages(u"/proc/no/out.htm"_s, {}, [](const QString& b) { return b; });
        QVERIFY_THROWS_EXCEPTION(OrvError, pages.BuildMessagePage(post()));
    }
};

QTEST_GUILESS_MAIN(PagesTest)
#include "tst_pages.moc"
