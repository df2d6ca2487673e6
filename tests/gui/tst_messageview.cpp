#include "ExchangeFixture.h"
#include "MessageView.h"
#include "app/Cp1251.h"
#include "render/PageMarkup.h"
#include "render/Renderer.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTextBlock>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace orv;

namespace {

void addSmiley(Database& db, const QString& code, const QString& url) {
    QSqlQuery q = db.prepare(u"INSERT INTO Smiles (Smile, SmileURL) VALUES (?, ?)"_s);
    q.addBindValue(code);
    q.addBindValue(url);
    Database::exec(q);
}

// A post with a quote, a link, coloured text, a person and a comment.
void writePostPage(Renderer& renderer) {
    PageBuilder pages = renderer.pageBuilder();
    MessagePage post;
    post.messageDate = u"05.03.2006 14:07:00"_s;
    post.author = u"snegir"_s;
    post.title = u"&laquo;Мастер и Маргарита&raquo; снова"_s;
    post.body = u"Перечитываю [b]Булгакова[/b]. [user=lisa_m] советовала :)\n"
                u"[QUOTE]Никогда ничего не просите! Никогда и ничего, и в особенности у тех, "
                u"кто сильнее вас.[/QUOTE]\n"
                u"[color=red]Очень рекомендую![/color] Вот [url=http://kordenet.ru/books]"
                u"список книг[/url]."_s;
    post.kind = u"Post"_s;
    post.journalId = u"71"_s;
    post.postId = u"1001"_s;
    post.downloadDate = u"06.03.2006 09:00:00"_s;
    pages.BuildMessagePage(post);
    MessagePage comment;
    comment.messageDate = u"05.03.2006 15:00:09"_s;
    comment.author = u"Ёжик"_s;
    comment.title = u"Re:"_s;
    comment.body = u"[QUOTE]Никогда ничего не просите![/QUOTE]\nИ я так думаю."_s;
    pages.AddCommentToPage(comment);
    pages.ClosePage();
}

} // namespace

class MessageViewTest : public QObject {
    Q_OBJECT

private slots:
    void postPageShowsWithItsPictures() {
        test::ExchangeFixture f;
        QDir().mkpath(f.dir.file(u"img"_s));
        QFile::copy(QStringLiteral(ORV_IMG_DIR "/new_person.bmp"),
                    f.dir.file(u"img/new_person.bmp"_s));
        Renderer renderer(f.ctx);
        writePostPage(renderer);

        MessageView view(f.ctx.log);
        view.showPage(f.ctx.folder.outPagePath());
        const QString text = view.toPlainText();
        QVERIFY2(text.contains(u"«Мастер и Маргарита» снова"_s), qPrintable(text));
        QVERIFY(text.contains(u"Цитата:"_s));
        QVERIFY(text.contains(u"Очень рекомендую!"_s));
        QVERIFY(text.contains(u"И я так думаю."_s));
        QVERIFY(view.toHtml().contains(u"http://kordenet.ru/books"_s));

        const QVariant person =
            view.loadResource(QTextDocument::ImageResource, QUrl(u"..\\img\\new_person.bmp"_s));
        QVERIFY(!person.value<QImage>().isNull());
        QVERIFY(view.loadResource(QTextDocument::ImageResource,
                                  QUrl(u"http://kordenet.ru/smiles/1.gif"_s))
                    .isNull());

        if (const QString shots = qEnvironmentVariable("ORV_SCREENSHOT_DIR"); !shots.isEmpty()) {
            view.resize(900, 640);
            view.show();
            QVERIFY(QTest::qWaitForWindowExposed(&view));
            view.grab().save(shots + u"/post-page.png"_s);
            QFile::remove(shots + u"/post-page.htm"_s);
            QFile::copy(f.ctx.folder.outPagePath(), shots + u"/post-page.htm"_s);
        }
    }

    void webLinksLeaveAndThePageStays() {
        test::ExchangeFixture f;
        Renderer renderer(f.ctx);
        writePostPage(renderer);
        MessageView view(f.ctx.log);
        QList<QUrl> opened;
        view.setExternalOpener([&](const QUrl& url) {
            opened.append(url);
            return true;
        });
        view.showPage(f.ctx.folder.outPagePath());
        const QString before = view.toHtml();

        view.Browser_BeforeNavigate2(QUrl(u"https://kordenet.ru/users/snegir/"_s));
        view.Browser_BeforeNavigate2(QUrl(u"HTTP://KORDENET.RU/"_s));
        QCOMPARE(opened.size(), 2);
        QCOMPARE(opened[0], QUrl(u"https://kordenet.ru/users/snegir/"_s));
        QCOMPARE(view.toHtml(), before);
        QVERIFY(f.ctx.log.lines().isEmpty());

        view.Browser_BeforeNavigate2(QUrl(u"missing.htm"_s)); // local: stays in the view
        QCOMPARE(opened.size(), 2);
        QVERIFY(f.ctx.log.currentText().contains(u"  MainForm.Browser_BeforeNavigate2: "_s));

        view.Browser_BeforeNavigate2(QUrl(u"about:blank"_s));
        QVERIFY(view.toPlainText().isEmpty());
    }

    // The view finds the builder's markup by its text: every piece it adjusts
    // is on a real page, and none is left on the copy it shows.
    void theViewAdjustsWhatTheBuilderWrites() {
        test::ExchangeFixture f;
        Renderer renderer(f.ctx);
        writePostPage(renderer);
        const QString page = Cp1251::decode(f.dir.read(u"tmp/out.htm"_s));
        const QString shown = MessageView::adaptedForView(page);

        const QList<std::pair<const char*, QString>> pieces = {
            {"body with one font", PageMarkup::BodyOpen},
            {"page end", PageMarkup::PageClose},
            {"line after the download date",
             PageMarkup::DownloadDateEnd + PageMarkup::InfoLineStart},
            {"break between comment rows", PageMarkup::CommentRowBreak},
            {"rule above a comment", PageMarkup::CommentRule},
        };
        for (const auto& [name, piece] : pieces) {
            QVERIFY2(page.contains(piece), name);
            QVERIFY2(!shown.contains(piece), name);
        }
        QVERIFY(shown.contains(u"<body bgcolor=#d4d0c8 "_s + PageMarkup::FontStyle + u'>'));
        QVERIFY(shown.endsWith(u"</body></html>\r\n"_s));
        QCOMPARE(shown.count(u"<font"_s), page.count(u"<font"_s) - 1);
        QCOMPARE(shown.count(u"<p style='margin:0'>&nbsp;14:07:00"_s), 1);

        // The diary page shares the body.
        renderer.pageBuilder().BuildDiaryPage(u"Ёжик"_s, u"72"_s);
        const QString diary = Cp1251::decode(f.dir.read(u"tmp/out.htm"_s));
        QVERIFY(diary.contains(PageMarkup::BodyOpen));
        QVERIFY(!MessageView::adaptedForView(diary).contains(PageMarkup::BodyOpen));

        // What the view shows has no rule left: the comment's line is a table.
        writePostPage(renderer);
        MessageView view(f.ctx.log);
        view.showPage(f.ctx.folder.outPagePath());
        for (QTextBlock block = view.document()->begin(); block.isValid(); block = block.next()) {
            QVERIFY(
                !block.blockFormat().hasProperty(QTextFormat::BlockTrailingHorizontalRulerWidth));
        }
        QVERIFY(view.toPlainText().contains(u"И я так думаю."_s));
    }

    void smileyCatalogueChangesAreSeen() {
        test::ExchangeFixture f;
        Renderer renderer(f.ctx);
        QCOMPARE(renderer.WordProcessor(u"a :)"_s), u"a :)"_s);
        addSmiley(f.ctx.db, u":)"_s, u"http://k/1.gif"_s);
        QCOMPARE(renderer.WordProcessor(u"a :)"_s), u"a :)"_s); // read once, until told
        renderer.smileysChanged();
        QCOMPARE(renderer.WordProcessor(u"a :)"_s),
                 u"a <img src='http://k/1.gif' alt='' border='0'>"_s);

        f.ctx.db.close();
        renderer.smileysChanged();
        QCOMPARE(renderer.WordProcessor(u"a :)"_s), QString());
        QVERIFY(f.ctx.log.currentText().contains(u"  Mod_Misc.WordProcessor: "_s));
    }
};

QTEST_MAIN(MessageViewTest)
#include "tst_messageview.moc"
