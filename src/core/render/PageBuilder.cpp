#include "PageBuilder.h"

#include "BodyFilter.h"
#include "PageMarkup.h"
#include "app/Cp1251.h"
#include "app/Escaping.h"
#include "app/OrvError.h"
#include "store/StoredDate.h"

#include <QFile>

using namespace Qt::StringLiterals;

namespace orv {
namespace {

QByteArray pageBytes(const QString& text) {
    QByteArray bytes;
    bytes.reserve(text.size());
    for (const char32_t cp : text.toUcs4()) {
        const QString character = QString::fromUcs4(&cp, 1);
        bytes += Cp1251::canEncode(cp) ? Cp1251::encode(character)
                                       : "&#" + QByteArray::number(quint32(cp)) + ';';
    }
    return bytes;
}

// A value of the store put into an attribute or a text: names and identifiers
// come as they are, but the page must not take them for markup.
QString field(const QString& value) {
    return Escaping::htmlAttribute(value);
}

QString dateTail(const QString& date) {
    return date.right(8);
}

QString dateHead(const QString& date) {
    return date.left(10);
}

// The service's "dd.MM.yyyy hh:mm:ss" moved by whole hours; other text as it is.
QString shownDate(const QString& date, int hours) {
    if (hours == 0) {
        return date;
    }
    try {
        return StoredDate::toServiceText(
            StoredDate::shifted(StoredDate::fromServiceText(date), hours));
    } catch (const OrvError&) {
        return date;
    }
}

} // namespace

PageBuilder::PageBuilder(QString pagePath, QString site, BodyConverter wordProcessor)
    : m_pagePath(std::move(pagePath))
    , m_site(std::move(site))
    , m_wordProcessor(std::move(wordProcessor)) {}

void PageBuilder::write(const QStringList& lines, bool append) {
    QFile file(m_pagePath);
    const auto mode = QIODevice::WriteOnly | (append ? QIODevice::Append : QIODevice::Truncate);
    if (!file.open(mode)) {
        throw OrvError(u"Не могу записать файл "_s + m_pagePath + u" ("_s + file.errorString() +
                       u')');
    }
    QByteArray bytes;
    for (const QString& line : lines) {
        bytes += pageBytes(line) + "\r\n";
    }
    if (file.write(bytes) != bytes.size()) {
        throw OrvError(u"Не могу записать файл "_s + m_pagePath + u" ("_s + file.errorString() +
                       u')');
    }
}

QString PageBuilder::attachmentBlock(const QString& attachment) const {
    QString block = u"<br><table align=center width=99% border=0 "_s + PageMarkup::FontStyle +
                    u'>' + u"<tr><td bgcolor=#d4d0c8><font style='font-color: white'>"_s;
    if (!attachment.isEmpty() && BodyFilter::isSafeAddress(attachment)) {
        block += u"<p align=center>Приаттаченное изображение:<br><img border=0 src='"_s +
                 field(attachment) + u"'></p>"_s;
    }
    return block + u"</font></td></tr></table>"_s;
}

void PageBuilder::BuildMessagePage(const MessagePage& page) {
    MessagePage m = page;
    m.author = field(m.author);
    m.journalId = field(m.journalId);
    m.postId = field(m.postId);
    m.commentId = field(m.commentId);

    const QString head =
        u"<html><head><meta http-equiv='Content-Type' content='text/html; charset=windows-1251'>"_s
        u"<style>.j_s {font-family: verdana; font-size: 8px; decoration: none} </style></head>"_s +
        PageMarkup::BodyOpen;

    QString info;
    if (!m.downloadDate.isEmpty()) {
        info +=
            u"<div align=right style='width:100%;font-size:9px'>дата скачивания с Kordenet: "_s +
            m.downloadDate + PageMarkup::DownloadDateEnd;
    }
    const QString post =
        m_site + u"/journalshowcomments.php?journalid="_s + m.journalId + u"&jpostid="_s + m.postId;
    const QString date = shownDate(m.messageDate, m_offsetHours);
    info += PageMarkup::InfoLineStart + dateTail(date) + u"&nbsp;-&nbsp;"_s + dateHead(date);
    info += u"&nbsp;&nbsp;&nbsp;<b><a href='"_s + m_site + u"/users/"_s + m.author + u"/'>"_s +
            m.author + u"</a></b>"_s;
    info += u"<table align=center width=99% "_s + PageMarkup::FontStyle +
            u"><tr><td width=33%>дневник - <a href='"_s + m_site + u"/users/"_s + m.journalId +
            u"'>"_s + m.journalId + u"</a></td>"_s;
    info += u"<td width=33%>пост - <a href='"_s + post + u"'>"_s + m.postId +
            u"</a></td><td width=33%>коммент - "_s;
    info +=
        u"<a href='"_s + post + u"#c"_s + m.commentId + u"'>"_s + m.commentId + u"</a></td></tr>"_s;
    info += u"<tr><td colspan=3><a href='"_s + m_site +
            u"/member2.php?action=addsubscriptioncomment&journalid="_s + m.journalId +
            u"&jpostid="_s + m.postId +
            u"' target=_blank style='font-size:9px'>подписаться на комменты</a>"_s;
    info +=
        u"<br><a href='"_s + m_site + u"/member2.php?action=removesubscriptioncomment&jpostid="_s +
        m.postId +
        u"' target=_blank style='font-size:9px'>отписаться от комментов</a></td></tr></table>"_s;

    const QString message =
        u"<table align=center cellpadding=6 width=99% border=0 "_s + PageMarkup::FontStyle + u'>' +
        u"<tr><td align=left bgcolor=#e9ecdb><b>"_s + BodyFilter::safe(m.title) +
        u"&nbsp;</b></td></tr><tr><td  bgcolor=#FFFFFF>"_s + m_wordProcessor(m.body) +
        u"</td></tr></table><br>"_s;

    write({head, info, message, attachmentBlock(m.attachment)}, false);
}

void PageBuilder::AddCommentToPage(const MessagePage& c) {
    const QString date = shownDate(c.messageDate, m_offsetHours);
    const QString header = PageMarkup::CommentRule + u"<br>&nbsp;"_s + dateTail(date) +
                           u"&nbsp;-&nbsp;"_s + dateHead(date) +
                           u"&nbsp;&nbsp;&nbsp;<b><a href='"_s + m_site + u"/users/"_s +
                           field(c.author) + u"/'>"_s + field(c.author) + u"</a></b>"_s;
    const QString body = u"<table width=99%  cellpadding=6 align=center border=0 "_s +
                         PageMarkup::FontStyle + u'>' + u"<tr><td  bgcolor=#999999>"_s +
                         BodyFilter::safe(c.title) + u"&nbsp;</td>"_s +
                         PageMarkup::CommentRowBreak + u"<td bgcolor=#e9ecdb>"_s +
                         m_wordProcessor(c.body) + u"</td></tr></table>"_s;
    write({header, body, attachmentBlock(c.attachment)}, true);
}

void PageBuilder::ClosePage() {
    write({PageMarkup::PageClose}, true);
}

void PageBuilder::BuildDiaryPage(const QString& diaryOwner, const QString& diaryId) {
    const QString owner = field(diaryOwner);
    const QString journalId = field(diaryId);
    write(
        {u"<html><head><meta http-equiv='Content-Type' content='text/html; charset=windows-1251'>"_s,
         u"</head>"_s + PageMarkup::BodyOpen,
         u"<table align=center width='99%' height='99%' font-family: Verdana, Arial, Helvetica, "
         u"sans-serif;'>"_s,
         u"<TR><TD align='center' bgcolor='#999999' style='font-size: 18px; font-weight: "
         u"bold;'>Дневник - <A href='"_s +
             m_site + u"/users/"_s + journalId + u"/'>"_s + owner + u"</A></TD></TR>"_s,
         u"<TR height='99%' bgcolor='#e9ecdb' style='font-size: 16px;'><TD align='center'>"_s,
         u"<A href='"_s + m_site + u"/journal_showinfo.php?userid="_s + journalId +
             u"'>Личные данные хозяина дневника</A><BR><BR>"_s,
         u"<A href='"_s + m_site + u"/photo/"_s + journalId +
             u"/'>Фотоальбом хозяина дневника</A><BR><BR>"_s,
         u"<A href='"_s + m_site + u"/showjournal.php?journalid="_s + journalId +
             u"&action=friend'>Лента друзей хозяина дневника</A><BR><BR>"_s,
         u"<A href='"_s + m_site + u"/showjournal.php?journalid="_s + journalId +
             u"&action=showquote'>Цитатник хозяина дневника</A><BR><BR>"_s,
         u"<A href='"_s + m_site + u"/journalshownewcomments.php?journalid="_s + journalId +
             u"'>Комментарии в дневнике</A></TD></TR>"_s,
         u"<TR><TD><DIV style='font-size: 10px;'>Внимание!!! Все ссылки открываются во "
         u"внешнем браузере. </DIV>"_s,
         u"</TD></TR></TABLE></BODY></HTML>"_s},
        false);
}

} // namespace orv
