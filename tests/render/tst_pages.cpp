#include "StoreCheck.h"
#include "TestData.h"
#include "TestFolder.h"
#include "app/Cp1251.h"
#include "app/OrvError.h"
#include "app/RunControl.h"
#include "render/DiaryExport.h"
#include "render/Markup.h"
#include "render/PageBuilder.h"
#include "store/Settings.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
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

    // A diary leaves the program whole: an index, a page a post, every field.
    void aDiaryIsExportedForAnyBrowser() {
        test::StoreFolder f;
        f.db.execute(u"INSERT INTO Posts (ThisID, PostID, JournalID, uName, Header, Message, "
                     u"Messagedate, Sent) VALUES (1, '11', '9', 'anna', '../../x<script>', "
                     u"'Старый', '2006-03-05 10:00:00', 1), (2, '12', '9', 'anna', 'Новый', "
                     u"'[b]Свежий[/b]', '2006-03-06 10:00:00', 1), (3, '13', '8', 'boris', "
                     u"'Чужой', 'нет', '2006-03-07 10:00:00', 1)"_s);
        f.db.execute(u"INSERT INTO Comments (CommentID, PostID, uName, Message, Messagedate, "
                     u"Sent) VALUES ('5', '12', 'boris', 'Согласен', '2006-03-06 11:00:00', 1)"_s);
        const QString folder = f.dir.file(u"export"_s);
        DiaryExport diary(f.db, u"https://kordenet.ru"_s,
                          [](const QString& body) { return Markup::WordProcessor(body, {}); });
        QCOMPARE(diary.write(u"anna"_s, folder, RunControl()), 2);

        const QString index = QString::fromUtf8(f.dir.read(u"export/index.html"_s));
        QVERIFY(index.indexOf(u"post-2.html\">Новый</a></td><td>1<"_s) <
                index.indexOf(u"post-1.html"_s)); // newest first
        QVERIFY(!index.contains(u"<script"_s) && !index.contains(u"Чужой"_s));
        QVERIFY(Cp1251::decode(f.dir.read(u"export/post-2.html"_s)).contains(u"<b>Свежий</b>"_s));
        QVERIFY(Cp1251::decode(f.dir.read(u"export/post-2.html"_s)).contains(u"Согласен"_s));
        const QJsonObject json =
            QJsonDocument::fromJson(f.dir.read(u"export/diary.json"_s)).object();
        const QJsonArray posts = json[u"posts"_s].toArray();
        QCOMPARE(posts.size(), 2);
        QCOMPARE(posts[0][u"Messagedate"_s].toString(), u"2006-03-06T10:00:00"_s);
        QCOMPARE(posts[0][u"comments"_s][0][u"Message"_s].toString(), u"Согласен"_s);
        QCOMPARE(posts[1][u"Header"_s].toString(), u"../../x<script>"_s); // a value, not a name

        // A cancel stops after the post in hand; what is written is whole.
        RunControl* self = nullptr;
        RunControl stopping([&](int, int) { self->requestCancel(); });
        self = &stopping;
        QCOMPARE(diary.write(u"anna"_s, folder, stopping), 1);
        QCOMPARE(QJsonDocument::fromJson(f.dir.read(u"export/diary.json"_s))[u"posts"_s]
                     .toArray()
                     .size(),
                 1);
        QVERIFY_THROWS_EXCEPTION(OrvError,
                                 diary.write(u"anna"_s, u"/proc/no/export"_s, RunControl()));
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
