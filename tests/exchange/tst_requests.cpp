#include "StandinService.h"
#include "TestData.h"
#include "exchange/RequestDocuments.h"
#include "exchange/ServerErrors.h"
#include "store/Settings.h"

#include <QtTest>

using namespace Qt::StringLiterals;
using namespace orv;

namespace {

Settings account() {
    Settings s;
    s.UserName = u"demo"_s;
    s.Password = u"pw"_s;
    s.CheckTime_Posts = u"01.12.2026 10:00:00"_s;
    s.CheckTime_Comments = u"02.12.2026 11:30:05"_s;
    s.MaxPost = u"50"_s;
    s.LASTSMILEID = u"17"_s;
    return s;
}

} // namespace

class RequestsTest : public QObject {
    Q_OBJECT

private slots:
    // Each document as sent, against tests/data/requests: CR LF between lines, none after.
    void documents_data() {
        using Make = QString (*)(const Settings&);
        QTest::addColumn<Make>("make");
        QTest::addColumn<QString>("golden");
        QTest::newRow("relations") << Make(RequestDocuments::getRel) << u"get-rel"_s;
        QTest::newRow("new posts") << Make(RequestDocuments::newPosts) << u"new-posts"_s;
        QTest::newRow("new comments") << Make(RequestDocuments::newComments) << u"new-comments"_s;
        QTest::newRow("new privates") << Make(RequestDocuments::newPrivates) << u"new-privates"_s;
        QTest::newRow("new smiles") << Make(RequestDocuments::newSmiles) << u"new-smiles"_s;
        QTest::newRow("all comments")
            << Make([](const Settings& s) { return RequestDocuments::allComments(s, u"1234"_s); })
            << u"all-comments"_s;
    }

    void documents() {
        using Make = QString (*)(const Settings&);
        QFETCH(Make, make);
        QFETCH(QString, golden);
        QCOMPARE(make(account()), test::dataText(u"requests/"_s + golden + u".xml"_s));
    }

    void valuesAreEscapedAndReadBackIntact() {
        Settings s = account();
        s.UserName = u"o'neil <&> \"Ёж\""_s;
        s.Password = u"p'a&ss<"_s;
        s.CheckTime_Posts = u"<now>"_s;
        const QString document = RequestDocuments::newPosts(s);
        QVERIFY(document.contains(u"<QUERYS username='o&apos;neil &lt;&amp;&gt; &quot;Ёж&quot;' "
                                  u"password='p&apos;a&amp;ss&lt;' mainid='1'>"_s));
        QVERIFY(document.contains(u"<dpost>&lt;now&gt;</dpost>"_s));
        standin::RequestDocument parsed;
        QString error;
        QVERIFY2(standin::StandinService::parse(document.toUtf8(), parsed, error),
                 qPrintable(error));
        QCOMPARE(parsed.username, s.UserName);
        QCOMPARE(parsed.password, s.Password);
        QCOMPARE(parsed.queries[0].value(u"dpost"_s), u"<now>"_s);
    }

    // The service's error codes are read as they stand: only the exact text of a known one.
    void serverErrorTexts_data() {
        test::addRows(u"exchange/server-errors.tsv"_s, {"code", "text"});
    }

    void serverErrorTexts() {
        const auto [code, text] = test::cells({"code", "text"});
        QCOMPARE(ServerErrorText(code), text);
    }
};

QTEST_GUILESS_MAIN(RequestsTest)
#include "tst_requests.moc"
