#include "TestData.h"
#include "app/Cp1251.h"
#include "app/Escaping.h"

#include <QtTest>

using namespace Qt::StringLiterals;
using namespace orv;
using Names = Escaping::Names;

class EscapingTest : public QObject {
    Q_OBJECT

private slots:
    void escape_data() { test::addRows(u"escaping/escape.tsv"_s, {"kind", "text", "escaped"}); }

    void escape() {
        const auto [kind, text, escaped] = test::cells({"kind", "text", "escaped"});
        QCOMPARE(kind == u"html"_s ? Escaping::htmlAttribute(text, Cp1251::canEncode)
                                   : Escaping::xml(text),
                 escaped);
        // What is written reads back as it was.
        QCOMPARE(Escaping::decode(escaped, Names::Xml), text);
    }

    void decode_data() { test::addRows(u"escaping/decode.tsv"_s, {"text", "html", "xml"}); }

    void decode() {
        const auto [text, html, xml] = test::cells({"text", "html", "xml"});
        QCOMPARE(Escaping::decode(text, Names::Html), html);
        QCOMPARE(Escaping::decode(text, Names::Xml), xml);
    }

    void decodingStopsAtTheLimit() {
        const QString text = u"&laquo;"_s.repeated(100000);
        QCOMPARE(Escaping::decode(text, Names::Html, 29), QString(29, u'«'));
        QCOMPARE(Escaping::decode(text).size(), 100000);
        QCOMPARE(Escaping::decode(u"abc&lt;def"_s, Names::Html, 2), u"ab"_s);
        QCOMPARE(Escaping::decode(u"ab&#x1F600;c"_s, Names::Html, 3), u"ab\U0001F600"_s);
        // Without a reference the text itself comes back, not a copy.
        const QString plain = u"Заголовок "_s + QString::number(7);
        QCOMPARE(Escaping::decode(plain, Names::Html, 3).constData(), plain.constData());
    }
};

QTEST_GUILESS_MAIN(EscapingTest)
#include "tst_escaping.moc"
