#include "TestFolder.h"
#include "app/Cp1251.h"
#include "app/OrvError.h"
#include "render/Markup.h"
#include "render/PageBuilder.h"

#include <QtTest>

using namespace Qt::StringLiterals;
using namespace orv;

namespace {

const QString kSite = u"https://kordenet.ru"_s;
const QString kStyle =
    u"style='font-size: 10pt; font-family: Verdana, Arial, Helvetica, sans-serif;'"_s;

PageBuilder builder(const test::TestFolder& dir) {
    return PageBuilder(dir.file(u"out.htm"_s), kSite,
                       [](const QString& body) { return Markup::WordProcessor(body, {}); });
}

QByteArray page(const QStringList& lines) {
    QByteArray bytes;
    for (const QString& line : lines) {
        bytes += Cp1251::encode(line) + "\r\n";
    }
    return bytes;
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

QString attachmentLine(const QString& inner = {}) {
    return u"<br><table align=center width=99% border=0 "_s + kStyle +
           u"><tr><td bgcolor=#d4d0c8><font style='font-color: white'>"_s + inner +
           u"</font></td></tr></table>"_s;
}

QStringList messageLines(const MessagePage& m, const QString& bodyHtml) {
    QString info;
    if (!m.downloadDate.isEmpty()) {
        info +=
            u"<div align=right style='width:100%;font-size:9px'>дата скачивания с Kordenet: "_s +
            m.downloadDate + u"</div>"_s;
    }
    info += u"&nbsp;14:07:00&nbsp;-&nbsp;05.03.2006"
            u"&nbsp;&nbsp;&nbsp;<b><a href='https://kordenet.ru/users/"_s +
            m.author + u"/'>"_s + m.author + u"</a></b>"_s + u"<table align=center width=99% "_s +
            kStyle +
            u"><tr><td width=33%>дневник - <a href='https://kordenet.ru/users/71'>71</a></td>"_s +
            u"<td width=33%>пост - <a href='https://kordenet.ru/journalshowcomments.php?"
            u"journalid=71&jpostid=1001'>1001</a></td><td width=33%>коммент - "_s +
            u"<a href='https://kordenet.ru/journalshowcomments.php?journalid=71&jpostid=1001#c"_s +
            m.commentId + u"'>"_s + m.commentId + u"</a></td></tr>"_s +
            u"<tr><td colspan=3><a href='https://kordenet.ru/member2.php?action="
            u"addsubscriptioncomment&journalid=71&jpostid=1001' target=_blank "
            u"style='font-size:9px'>подписаться на комменты</a>"_s +
            u"<br><a href='https://kordenet.ru/member2.php?action=removesubscriptioncomment&"
            u"jpostid=1001' target=_blank style='font-size:9px'>отписаться от комментов</a>"
            u"</td></tr></table>"_s;
    return {u"<html><head><meta http-equiv='Content-Type' content='text/html; "
            u"charset=windows-1251'><style>.j_s {font-family: verdana; font-size: 8px; "
            u"decoration: none} </style></head><body bgcolor=#d4d0c8><font "_s +
                kStyle + u'>',
            info,
            u"<table align=center cellpadding=6 width=99% border=0 "_s + kStyle +
                u"><tr><td align=left bgcolor=#e9ecdb><b>"_s + m.title +
                u"&nbsp;</b></td></tr><tr><td  bgcolor=#FFFFFF>"_s + bodyHtml +
                u"</td></tr></table><br>"_s,
            attachmentLine()};
}

} // namespace

class PagesTest : public QObject {
    Q_OBJECT

private slots:
    void postWithComments() {
        test::TestFolder dir(test::TestFolder::Icons::None);
        PageBuilder pages = builder(dir);
        const MessagePage p = post();
        pages.BuildMessagePage(p);
        MessagePage c;
        c.messageDate = u"05.03.2006 15:00:09"_s;
        c.author = u"Ёжик"_s;
        c.title = QString();
        c.body = u"Согласен\nвполне"_s;
        c.attachment = u"C:/photo.jpg"_s;
        pages.AddCommentToPage(c);
        pages.ClosePage();

        QStringList expected = messageLines(p, u"<b>Снег</b>"_s);
        expected += u"<hr><br>&nbsp;15:00:09&nbsp;-&nbsp;05.03.2006&nbsp;&nbsp;&nbsp;<b>"
                    u"<a href='https://kordenet.ru/users/Ёжик/'>Ёжик</a></b>"_s;
        expected += u"<table width=99%  cellpadding=6 align=center border=0 "_s + kStyle +
                    u"><tr><td  bgcolor=#999999>&nbsp;</td></tr><br><tr><td bgcolor=#e9ecdb>"
                    u"Согласен<br>вполне</td></tr></table>"_s;
        expected += attachmentLine(u"<p align=center>Приаттаченное изображение:<br>"
                                   u"<img border=0 src='C:/photo.jpg'></p>"_s);
        expected += u"</font></body></html>"_s;
        QCOMPARE(dir.read(u"out.htm"_s), page(expected));
    }

    void postWithoutCommentsOrDownloadDate() {
        test::TestFolder dir(test::TestFolder::Icons::None);
        PageBuilder pages = builder(dir);
        MessagePage p = post();
        p.downloadDate.clear();
        pages.BuildMessagePage(p);
        pages.ClosePage();
        QStringList expected = messageLines(p, u"<b>Снег</b>"_s);
        QVERIFY(expected[1].startsWith(u"&nbsp;14:07:00"_s));
        expected += u"</font></body></html>"_s;
        QCOMPARE(dir.read(u"out.htm"_s), page(expected));
    }

    void commentAndPrivateMessagePages() {
        test::TestFolder dir(test::TestFolder::Icons::None);
        PageBuilder pages = builder(dir);
        MessagePage comment = post();
        comment.kind = u"Comment"_s;
        comment.commentId = u"50007"_s;
        pages.BuildMessagePage(comment);
        pages.ClosePage();
        QStringList expected = messageLines(comment, u"<b>Снег</b>"_s);
        QVERIFY(expected[1].contains(u"#c50007'>50007</a>"_s));
        QCOMPARE(dir.read(u"out.htm"_s), page(expected + QStringList{u"</font></body></html>"_s}));

        MessagePage message = post();
        message.kind = u"Private"_s;
        message.title = u"Приватное сообщение"_s;
        message.journalId = u"71"_s;
        pages.BuildMessagePage(message);
        pages.ClosePage();
        QCOMPARE(dir.read(u"out.htm"_s), page(messageLines(message, u"<b>Снег</b>"_s) +
                                              QStringList{u"</font></body></html>"_s}));
    }

    void diaryPage() {
        test::TestFolder dir(test::TestFolder::Icons::None);
        builder(dir).BuildDiaryPage(u"Ёжик"_s, u"72"_s);
        const QStringList expected = {
            u"<html><head><meta http-equiv='Content-Type' content='text/html; charset=windows-1251'>"_s,
            u"</head><body bgcolor=#d4d0c8><font style='font-size: 10pt; font-family: Verdana, "
            u"Arial, Helvetica, sans-serif;'>"_s,
            u"<table align=center width='99%' height='99%' font-family: Verdana, Arial, "
            u"Helvetica, sans-serif;'>"_s,
            u"<TR><TD align='center' bgcolor='#999999' style='font-size: 18px; font-weight: "
            u"bold;'>Дневник - <A href='https://kordenet.ru/users/72/'>Ёжик</A></TD></TR>"_s,
            u"<TR height='99%' bgcolor='#e9ecdb' style='font-size: 16px;'><TD align='center'>"_s,
            u"<A href='https://kordenet.ru/journal_showinfo.php?userid=72'>Личные данные хозяина "
            u"дневника</A><BR><BR>"_s,
            u"<A href='https://kordenet.ru/photo/72/'>Фотоальбом хозяина дневника</A><BR><BR>"_s,
            u"<A href='https://kordenet.ru/showjournal.php?journalid=72&action=friend'>Лента "
            u"друзей хозяина дневника</A><BR><BR>"_s,
            u"<A href='https://kordenet.ru/showjournal.php?journalid=72&action=showquote'>"
            u"Цитатник хозяина дневника</A><BR><BR>"_s,
            u"<A href='https://kordenet.ru/journalshownewcomments.php?journalid=72'>Комментарии "
            u"в дневнике</A></TD></TR>"_s,
            u"<TR><TD><DIV style='font-size: 10px;'>Внимание!!! Все ссылки открываются во "
            u"внешнем браузере. </DIV>"_s,
            u"</TD></TR></TABLE></BODY></HTML>"_s,
        };
        QCOMPARE(dir.read(u"out.htm"_s), page(expected));
    }

    void charactersOutsideTheCodePageSurvive() {
        test::TestFolder dir(test::TestFolder::Icons::None);
        PageBuilder pages = builder(dir);
        MessagePage p = post();
        p.title = u"Привет 😀"_s;
        pages.BuildMessagePage(p);
        const QByteArray bytes = dir.read(u"out.htm"_s);
        QVERIFY(bytes.contains("\xCF\xF0\xE8\xE2\xE5\xF2 &#128512;&nbsp;</b>"));
    }

    void unwritablePageThrows() {
        PageBuilder pages(u"/proc/no/out.htm"_s, kSite, [](const QString& b) { return b; });
        QVERIFY_THROWS_EXCEPTION(OrvError, pages.BuildMessagePage(post()));
    }
};

QTEST_GUILESS_MAIN(PagesTest)
#include "tst_pages.moc"
