#include "StandinService.h"
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

QString lines(const QStringList& l) {
    return l.join(u"\r\n"_s);
}

const QString kHead = u"<?xml version='1.0' encoding='utf-8'?>\r\n"
                      u"<QUERYS username='demo' password='pw' mainid='1'>\r\n"_s;

} // namespace

class RequestsTest : public QObject {
    Q_OBJECT

private slots:
    void fixedFormDocuments() {
        const Settings s = account();
        QCOMPARE(RequestDocuments::getRel(s),
                 kHead + lines({u"<query QID='get_rel' TYPE='5'>"_s, u"<action>get</action>"_s,
                                u"</query>"_s, u"</QUERYS>"_s}));
        QCOMPARE(RequestDocuments::newPosts(s),
                 kHead + lines({u"<query QID='get_new_posts' TYPE='9'>"_s,
                                u"<dpost>01.12.2026 10:00:00</dpost>"_s, u"<maxpost>50</maxpost>"_s,
                                u"</query>"_s, u"</QUERYS>"_s}));
        QCOMPARE(RequestDocuments::newComments(s),
                 kHead + lines({u"<query QID='get_new_comments' TYPE='7'>"_s,
                                u"<dpost>02.12.2026 11:30:05</dpost>"_s, u"<maxpost>50</maxpost>"_s,
                                u"</query>"_s, u"</QUERYS>"_s}));
        QCOMPARE(RequestDocuments::newPrivates(s),
                 kHead + lines({u"<query QID='get_new_privates' TYPE='10'>"_s,
                                u"<maxpost>50</maxpost>"_s, u"</query>"_s, u"</QUERYS>"_s}));
        QCOMPARE(RequestDocuments::newSmiles(s),
                 kHead +
                     lines({u"<query QID='get_new_smiles' TYPE='11'>"_s,
                            u"<LASTSMILEID>17</LASTSMILEID>"_s, u"</query>"_s, u"</QUERYS>"_s}));
        QCOMPARE(RequestDocuments::allComments(s, u"1234"_s),
                 u"<?xml version='1.0' encoding='UTF-8'?>\r\n"
                 u"<QUERYS username='demo' password='pw' mainid='1'>\r\n"_s +
                     lines({u"<query QID='allcomments' TYPE='12'>"_s, u"<postid>1234</postid>"_s,
                            u"<maxpost>50</maxpost>"_s, u"</query>"_s, u"</QUERYS>"_s}));
        QVERIFY(!RequestDocuments::newPosts(s).endsWith(u"\r\n"_s));
    }

    void valuesAreEscapedAndReadBackIntact() {
        Settings s = account();
        s.UserName = u"o'neil <&> \"Ёж\""_s;
        s.Password = u"p'a&ss<"_s;
        s.CheckTime_Posts = u"<now>"_s;
        const QString document = RequestDocuments::newPosts(s);
        QVERIFY(document.contains(
            u"<QUERYS username='o&apos;neil &lt;&amp;&gt; &quot;Ёж&quot;' password='p&apos;a&amp;ss&lt;' mainid='1'>"_s));
        QVERIFY(document.contains(u"<dpost>&lt;now&gt;</dpost>"_s));

        standin::RequestDocument parsed;
        QString error;
        QVERIFY2(standin::StandinService::parse(document.toUtf8(), parsed, error),
                 qPrintable(error));
        QCOMPARE(parsed.username, s.UserName);
        QCOMPARE(parsed.password, s.Password);
        QCOMPARE(parsed.queries.size(), 1);
        QCOMPARE(parsed.queries[0].value(u"dpost"_s), u"<now>"_s);
    }

    void serverErrorTexts_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("text");
        QTest::newRow("3") << u"3"_s << u"Ошибка авторизации"_s;
        QTest::newRow("4 shares 3") << u"4"_s << u"Ошибка авторизации"_s;
        QTest::newRow("5 keeps its blank")
            << u"5"_s << u"Нет прав для добавления поста в дневник "_s;
        QTest::newRow("53") << u"53"_s << u"Нет непрочитанных приватных сообщений"_s;
        QTest::newRow("63") << u"63"_s
                            << u"Защита от флуда (только что было добавлено такое же сообщение)"_s;
        QTest::newRow("1616") << u"1616"_s << u"Такое сообщение уже есть на сервере Kordenet"_s;
        QTest::newRow("leading blank") << u" 5"_s << u"Неизвестная ошибка"_s;
        QTest::newRow("leading zero") << u"05"_s << u"Неизвестная ошибка"_s;
        QTest::newRow("1") << u"1"_s << u"Неизвестная ошибка"_s;
        QTest::newRow("0") << u"0"_s << u"Неизвестная ошибка"_s;
        QTest::newRow("empty") << QString() << u"Неизвестная ошибка"_s;
    }

    void serverErrorTexts() {
        QFETCH(QString, code);
        QFETCH(QString, text);
        QCOMPARE(ServerErrorText(code), text);
    }
};

QTEST_GUILESS_MAIN(RequestsTest)
#include "tst_requests.moc"
