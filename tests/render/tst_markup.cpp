#include "TestData.h"
#include "app/Cp1251.h"
#include "render/BodyFilter.h"
#include "render/Markup.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace orv;

namespace {

// The outgoing conversion as the entity table words it: each row replaced in
// turn over the whole text, numeric references made just before the
// ampersand's row. Text2Entities does it in one pass and must agree.
QString text2EntitiesInTurns(QString text) {
    for (const QString& row : test::dataLines(u"markup/outgoing-in-turns.tsv"_s)) {
        const QString character = row.section(u'\t', 0, 0);
        if (character == u"&"_s) {
            QString referenced;
            for (const char32_t cp : text.toUcs4()) {
                referenced += Cp1251::canEncode(cp) ? QString::fromUcs4(&cp, 1)
                                                    : u"&#"_s + QString::number(cp) + u';';
            }
            text = referenced;
        }
        text.replace(character, row.section(u'\t', 1));
    }
    return text;
}

} // namespace

class MarkupTest : public QObject {
    Q_OBJECT

private slots:
    void tags_data() { test::addRows(u"markup/tags.tsv"_s, {"body", "html"}); }

    // With a catalogue whose earlier rows keep what they match, and whose
    // "gif" must never match inside a picture tag put in before it.
    void tags() {
        const auto [body, html] = test::cells({"body", "html"});
        QCOMPARE(Markup::WordProcessor(body, {{u")"_s, u"http://k/p.gif"_s},
                                              {u":)"_s, u"http://k/1.gif"_s},
                                              {u"*ROZA*"_s, u"http://k/roza.gif"_s},
                                              {u"gif"_s, u"http://k/never.png"_s},
                                              {QString(), u"http://k/empty.gif"_s}}),
                 html);
        QCOMPARE(BodyFilter::safe(html), html); // the service's own markup is safe as it is
    }

    void filter_data() { test::addRows(u"markup/filter.tsv"_s, {"body", "safe"}); }
    void filter() {
        const auto [body, safe] = test::cells({"body", "safe"});
        QCOMPARE(BodyFilter::safe(body), safe == u"="_s ? body : safe);
    }

    // More tags than any page holds, made to freeze the parser: the text alone.
    void aBodyOfEndlessTagsIsShownAsText() {
        const QString deep =
            u"<div>"_s.repeated(100000) + u"a < b"_s + u"</div>"_s.repeated(100000);
        QCOMPARE(BodyFilter::safe(deep), u"a < b"_s);
        QCOMPARE(BodyFilter::safe(u"<b onclick=x>"_s.repeated(50000) + u"<i x=\"1"_s), QString());
    }

    // Bodies whose conversion once took time growing with the square of their
    // length still convert as their tags say.
    void manyTags_data() {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("html");
        const auto times = [](QStringView piece) { return piece.toString().repeated(5000); };
        QTest::newRow("open bare links") << times(u"[url]") + u'x' << times(u"[url>") + u'x';
        QTest::newRow("nested named links") << times(u"[url=") + times(u"]") + times(u"[/url]")
                                            << times(u"<a href='") + times(u"'>") + times(u"</a>");
        QTest::newRow("closers far away")
            << times(u"[url]a[/URL]") + times(u"[/url]") << times(u"<a href=a>a</a>");
        QTest::newRow("closed links")
            << times(u"[url=a]b[/url][url]c[/url]") << times(u"<a href='a'>b</a><a href=c>c</a>");
    }

    void manyTags() {
        QFETCH(QString, body);
        QFETCH(QString, html);
        QCOMPARE(Markup::WordProcessor(body, {}), html);
    }

    void entities_data() {
        test::addRows(u"markup/entities.tsv"_s, {"direction", "text", "converted"});
    }

    void entities() {
        const auto [direction, text, converted] = test::cells({"direction", "text", "converted"});
        QCOMPARE(direction == u"in"_s ? Markup::Entities2Text(text) : Markup::Text2Entities(text),
                 converted);
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
