#include "TestData.h"
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
