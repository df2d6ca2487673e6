#include "render/Markup.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace orv;

namespace {

const QString kQuoteHead =
    u"<br><b>Цитата:</b><table border=1 align=center width=99%><tr><td font style='font-size: "
    u"10pt; font-family: Verdana, Arial, Helvetica, sans-serif;'"_s;

QString convert(const QString& body, const std::vector<Smiley>& smileys = {}) {
    return Markup::WordProcessor(body, smileys);
}

// The outgoing conversion as the entity table words it: each row replaced in
// turn over the whole text, numeric references made just before the
// ampersand's row. Text2Entities does it in one pass and must agree.
QString text2EntitiesInTurns(QString text) {
    const QList<QPair<QString, QString>> rows = {
        {u"Ў"_s, u"&iexcl;"_s},  {u"ў"_s, u"&cent;"_s},   {u"Ј"_s, u"&pound;"_s},
        {u"¤"_s, u"&curren;"_s}, {u"Ґ"_s, u"&yen;"_s},    {u"¦"_s, u"&brvbar;"_s},
        {u"§"_s, u"&sect;"_s},   {u"©"_s, u"&copy;"_s},   {u"Є"_s, u"&ordf;"_s},
        {u"«"_s, u"&laquo;"_s},  {u"¬"_s, u"&not;"_s},    {u"\u00AD"_s, u"&shy;"_s},
        {u"®"_s, u"&reg;"_s},    {u"Ї"_s, u"&macr;"_s},   {u"°"_s, u"&deg;"_s},
        {u"±"_s, u"&plusmn;"_s}, {u"І"_s, u"&sup2;"_s},   {u"і"_s, u"&sup3;"_s},
        {u"ґ"_s, u"&acute;"_s},  {u"µ"_s, u"&micro;"_s},  {u"¶"_s, u"&para;"_s},
        {u"·"_s, u"&middot;"_s}, {u"№"_s, u"&sup1;"_s},   {u"є"_s, u"&ordm;"_s},
        {u"»"_s, u"&raquo;"_s},  {u"ј"_s, u"&frac14;"_s}, {u"Ѕ"_s, u"&frac12;"_s},
        {u"ѕ"_s, u"&frac34;"_s}, {u"ї"_s, u"&iquest;"_s}, {u"\""_s, u"&quot;"_s},
        {u"&"_s, u"&amp;"_s},    {u"<"_s, u"&lt;"_s},     {u">"_s, u"&gt;"_s},
    };
    for (const auto& [character, name] : rows) {
        if (character == u"&"_s) {
            QString referenced;
            for (const char32_t cp : text.toUcs4()) {
                const bool inCodePage =
                    cp < 0x80 || (cp >= 0x400 && cp <= 0x45F) ||
                    QStringView(u"ЎўЈ¤Ґ¦§©Є«¬\u00AD®Ї°±Ііґµ¶·№є»јЅѕїЁё—–…€‘’“”•‰‹›"
                                u"™ЂЃЉЊЌЋЏђѓљњќћџ‚„†‡\u00A0\u0098"_s)
                        .contains(QString::fromUcs4(&cp, 1));
                referenced +=
                    inCodePage ? QString::fromUcs4(&cp, 1) : u"&#"_s + QString::number(cp) + u';';
            }
            text = referenced;
        }
        text.replace(character, name);
    }
    return text;
}

} // namespace

class MarkupTest : public QObject {
    Q_OBJECT

private slots:
    void tags_data() {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("html");
        QTest::newRow("bold any case") << u"[b]Hi[/B]"_s << u"<b>Hi</b>"_s;
        QTest::newRow("italic any case") << u"[I]x[/i]"_s << u"<i>x</i>"_s;
        QTest::newRow("underline")
            << u"[u]x[/U]"_s << u"<div style='text-decoration: underline;'>x</div>"_s;
        QTest::newRow("size") << u"[size=2]a[/size]"_s << u"<font size=2>a</font>"_s;
        QTest::newRow("color") << u"[color=red]a[/color]"_s << u"<font color=red>a</font>"_s;
        QTest::newRow("named link")
            << u"[url=page.htm]site[/url]"_s << u"<a href='page.htm'>site</a>"_s;
        QTest::newRow("named link, tag in capitals")
            << u"[URL=page.htm]site[/url]"_s << u"<a href='page.htm'>site</a>"_s;
        QTest::newRow("bare link")
            << u"[url]page.htm[/url]"_s << u"<a href=page.htm>page.htm</a>"_s;
        QTest::newRow("upper-case closer is dropped")
            << u"[url=page.htm]x[/URL]"_s << u"<a href='page.htm'>x"_s;
        QTest::newRow("nested links")
            << u"[url=a]x [url=b]y[/url] z[/url]"_s << u"<a href='a'>x <a href='b'>y</a> z</a>"_s;
        QTest::newRow("quote") << u"[QUOTE]x[/QUOTE]"_s
                               << kQuoteHead + u">x</td></tr></table><br>"_s;
        QTest::newRow("quote in lower case")
            << u"[quote]x[/quote]"_s << kQuoteHead + u">x</td></tr></table><br>"_s;
        QTest::newRow("first cut marker goes") << u"[more=Далее]text"_s << u"text"_s;
        QTest::newRow("second cut marker stays") << u"a[more=x]b[more=y]c"_s << u"ab[more=y>c"_s;
        QTest::newRow("MORE is deleted") << u"a[MORE]b"_s << u"ab"_s;
        QTest::newRow("user") << u"[user=snegir]"_s
                              << u"&#60;<img src=..\\img\\new_person.bmp> snegir>"_s;
        QTest::newRow("stray bracket") << u"a]b"_s << u"a>b"_s;
        QTest::newRow("line feed") << u"one\ntwo"_s << u"one<br>two"_s;
        QTest::newRow("target blank") << u"<a href=x target=\"_blank\">"_s << u"<a href=x>"_s;
        QTest::newRow("double escape shows as markup") << u"&amp;lt;b&amp;gt;"_s << u"<b>"_s;
        QTest::newRow("Cyrillic and entities")
            << u"&laquo;Ёлки&raquo; &amp; палки"_s << u"«Ёлки» & палки"_s;
    }

    void tags() {
        QFETCH(QString, body);
        QFETCH(QString, html);
        QCOMPARE(convert(body), html);
    }

    void openTagsStayAsTextAndTheRestIsConverted_data() {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("html");
        QTest::newRow("bare link without closer") << u"[b]a[/b] [url]x"_s << u"<b>a</b> [url>x"_s;
        QTest::newRow("named link without bracket")
            << u"[i]a[/i] [url=http://x"_s << u"<i>a</i> [url=http://x"_s;
        QTest::newRow("closed link before an open one")
            << u"[url=a]b[/url] [url=c"_s << u"<a href='a'>b</a> [url=c"_s;
        QTest::newRow("closed bare link after an open one")
            << u"[url]x [url]y[/url]"_s << u"<a href=x [url>y>x [url>y</a>"_s;
        QTest::newRow("cut marker without bracket") << u"[b]a[/b][more=x"_s << u"<b>a</b>[more=x"_s;
    }

    void openTagsStayAsTextAndTheRestIsConverted() {
        QFETCH(QString, body);
        QFETCH(QString, html);
        QCOMPARE(convert(body), html);
    }

    void smileys() {
        const std::vector<Smiley> catalogue = {
            {u":)"_s, u"http://k/1.gif"_s},
            {u"*ROZA*"_s, u"http://k/roza.gif"_s},
            {u"gif"_s, u"http://k/never.png"_s}, // would match inside the tags above
            {QString(), u"http://k/empty.gif"_s},
        };
        QCOMPARE(convert(u"Привет :) и *roza*"_s, catalogue),
                 u"Привет <img src='http://k/1.gif' alt='' border='0'> и "
                 u"<img src='http://k/roza.gif' alt='' border='0'>"_s);
        QCOMPARE(convert(u"a gif"_s, catalogue),
                 u"a <img src='http://k/never.png' alt='' border='0'>"_s);
        QCOMPARE(convert(u"no smileys here"_s, {}), u"no smileys here"_s);

        // A row earlier in the table keeps what it matched.
        const std::vector<Smiley> overlapping = {{u")"_s, u"p"_s}, {u":)"_s, u"q"_s}};
        QCOMPARE(convert(u":)"_s, overlapping), u":<img src='p' alt='' border='0'>"_s);
    }

    void entitiesDecode() {
        QCOMPARE(
            Markup::Entities2Text(u"&iexcl;&cent;&uml;&cedil;&sup1;&quot;&lt;&gt;&tilde;&sbquo;"_s),
            u"Ўў"
            u"Ёё№\"<>~`"_s);
        QCOMPARE(Markup::Entities2Text(u"&amp;quot;"_s), u"&quot;"_s);
        QCOMPARE(Markup::Entities2Text(u"&amp;lt;"_s), u"<"_s);
        QCOMPARE(Markup::Entities2Text(u"&LAQUO;\r\n"_s), u"&LAQUO;\r<br>"_s);
    }

    void entitiesEncode() {
        QCOMPARE(Markup::Text2Entities(u"a\"b"_s), u"a&amp;quot;b"_s);
        QCOMPARE(Markup::Text2Entities(u"Ёж ё"_s), u"Ёж ё"_s);
        QCOMPARE(Markup::Text2Entities(u"«x» & <y> ~`"_s),
                 u"&amp;laquo;x&amp;raquo; &amp; &lt;y&gt; ~`"_s);
        QCOMPARE(Markup::Text2Entities(u"Ў№"_s), u"&amp;iexcl;&amp;sup1;"_s);
        // Outside the code page: a numeric reference, escaped like the named ones.
        QCOMPARE(Markup::Text2Entities(u"日😀 ok"_s), u"&amp;#26085;&amp;#128512; ok"_s);
        QCOMPARE(Markup::Text2Entities(u"—€"_s), u"—€"_s); // both are in Windows-1251
        // A control character pasted from elsewhere would spoil the request.
        QCOMPARE(Markup::Text2Entities(u"a\u000Bb\tc\r\n"_s), u"a&amp;#11;b\tc\r\n"_s);
    }

    void entitiesEncodeInOnePassAsInTurns() {
        const QString pool = u"aZ09 \r\n&;#\"'<>~`ЎўЈ¤Ґ¦§©Є«¬\u00AD®Ї°±Ііґµ¶·№є»јЅѕїЁёЖж—€"
                             u"日é\u00A0"_s +
                             QString::fromUcs4(U"😀");
        QRandomGenerator random(2006);
        for (int round = 0; round < 2000; ++round) {
            QString text;
            const int length = int(random.bounded(24));
            for (int i = 0; i < length; ++i) {
                const qsizetype at = random.bounded(pool.size());
                text += pool[at];
                if (pool[at].isHighSurrogate()) {
                    text += pool[at + 1];
                }
            }
            QCOMPARE(Markup::Text2Entities(text), text2EntitiesInTurns(text));
        }
    }
};

QTEST_GUILESS_MAIN(MarkupTest)
#include "tst_markup.moc"
