#include "ExchangeFixture.h"
#include "StoreCheck.h"
#include "decode/ResultDocument.h"
#include "store/SmileStore.h"
#include "sync/LoginCheck.h"
#include "sync/OnDemandFetch.h"
#include "sync/ServiceClock.h"

#include <QtTest>

using namespace Qt::StringLiterals;
using namespace orv;

namespace {

struct Fixture : test::ExchangeFixture {
    Fixture()
        : ExchangeFixture(5) {}

    QStringList rows(const QString& sql) { return test::rows(ctx.db, sql); }
    QString storedLastSmileId() {
        return rows(u"SELECT iniValue FROM iniSettings WHERE iniVariable = 'LASTSMILEID'"_s)
            .value(0);
    }
    QStringList messages() {
        QStringList texts;
        for (const QString& line : ctx.log.lines()) {
            texts.append(line.mid(10));
        }
        return texts;
    }
    void save(const QString& results) {
        const auto document =
            ResultDocument::parse(u"<?xml version='1.0' encoding='windows-1251'?><results>"_s +
                                  results + u"</results>"_s);
        QVERIFY(document);
        OnDemandFetch::SaveSmiles(ctx.session(), *document);
    }
};

QString smileysResult(const QString& error, const QString& last, const QStringList& messages) {
    QString items;
    for (const QString& message : messages) {
        items += u"<ITEM><MESSAGE>"_s + message + u"</MESSAGE></ITEM>"_s;
    }
    return u"<RESULT QID='get_new_smiles' ERROR='"_s + error + u"'><LASTSMILEID>"_s + last +
           u"</LASTSMILEID>"_s + items + u"</RESULT>"_s;
}

} // namespace

class OnDemandTest : public QObject {
    Q_OBJECT

private slots:
    void theServiceClockSuggestsAnOffsetOfWholeHoursOnly_data() {
        QTest::addColumn<QString>("nowDate");
        QTest::addColumn<QString>("local");
        QTest::addColumn<QString>("offset");
        QTest::newRow("behind Moscow")
            << u"07.12.2026 19:18:00"_s << u"07.12.2026 16:18:40"_s << u"-3"_s;
        QTest::newRow("within 5 minutes")
            << u"07.12.2026 10:00:00"_s << u"07.12.2026 15:04:00"_s << u"5"_s;
        QTest::newRow("past 5 minutes")
            << u"07.12.2026 10:00:00"_s << u"07.12.2026 15:06:00"_s << QString();
        QTest::newRow("the same hour")
            << u"07.12.2026 16:18:00"_s << u"07.12.2026 16:20:00"_s << QString();
        QTest::newRow("past 14 hours")
            << u"07.12.2026 10:00:00"_s << u"08.12.2026 01:00:00"_s << QString();
        QTest::newRow("no date") << u"вчера"_s << u"07.12.2026 16:18:00"_s << QString();
    }
    void theServiceClockSuggestsAnOffsetOfWholeHoursOnly() {
        QFETCH(QString, nowDate);
        QFETCH(QString, local);
        QFETCH(QString, offset);
        const auto lag =
            ServiceClock::lag(nowDate, QDateTime::fromString(local, u"dd.MM.yyyy hh:mm:ss"_s));
        const auto hours = lag ? ServiceClock::offsetHours(*lag) : std::nullopt;
        QCOMPARE(hours ? QString::number(*hours) : QString(), offset);
    }

    void aLoginCheckSaysWhetherTheServiceAcceptsTheAccount_data() {
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("silent");
        QTest::addColumn<QString>("said");
        QTest::newRow("accepted") << QString() << false << LoginCheck::Accepted;
        QTest::newRow("refused") << u"wrong"_s << false << u"Ошибка авторизации"_s;
        QTest::newRow("silent") << QString() << true << u"Запрос к серверу не выполнен."_s;
    }
    void aLoginCheckSaysWhetherTheServiceAcceptsTheAccount() {
        QFETCH(QString, password);
        QFETCH(bool, silent);
        QFETCH(QString, said);
        Fixture f;
        if (!password.isEmpty()) {
            f.ctx.settings.Password = password;
        }
        if (silent) {
            f.server.setFault(standin::Fault::Silent);
            f.ctx.exchangeTimeout = std::chrono::milliseconds(300); // the deadline ends it
        }
        QCOMPARE(LoginCheck::run(f.ctx.session()), said);
        QCOMPARE(f.prompts.messages.size(), silent ? 1 : 0); // the box every run shows
        QCOMPARE(f.rows(u"SELECT count(*) FROM AddressBook"_s), QStringList(u"0"_s));
    }

    void newSmileysOnceEach() {
        Fixture f;
        f.data.smiles.resize(2);
        QCOMPARE(OnDemandFetch::GetSmiles(f.ctx.session()), 2);
        QCOMPARE(f.rows(u"SELECT Smile, SmileURL FROM Smiles ORDER BY ID"_s),
                 (QStringList{f.data.smiles[0].code + u'|' + f.data.smiles[0].url,
                              f.data.smiles[1].code + u'|' + f.data.smiles[1].url}));
        QCOMPARE(f.storedLastSmileId(), u"2"_s);
        QCOMPARE(f.server.service().documents.last().queries.first().value(u"LASTSMILEID"_s),
                 u"0"_s);
        const QStringList lines = f.messages();
        QCOMPARE(lines.first(), u"Соединяюсь с сервером..."_s);
        QVERIFY(lines.contains(u"Загрузка смайлов..."_s));
        QCOMPARE(f.ctx.log.lines().last().size(), 10); // the time stamp alone

        // Asked again from the new identifier: nothing new.
        QCOMPARE(OnDemandFetch::GetSmiles(f.ctx.session()), 0);
        QCOMPARE(f.server.service().documents.last().queries.first().value(u"LASTSMILEID"_s),
                 u"2"_s);
        // The same answer once more adds nothing; a known code with another
        // picture gets a row of its own.
        f.save(smileysResult(u"0"_s, u"3"_s,
                             {f.data.smiles[0].code + u' ' + f.data.smiles[0].url,
                              f.data.smiles[0].code + u" http://k/new.gif"_s}));
        QCOMPARE(f.rows(u"SELECT count(*) FROM Smiles"_s), QStringList{u"3"_s});
        QCOMPARE(f.storedLastSmileId(), u"3"_s);
        QCOMPARE(f.ctx.log.failureCount(), 0);
    }

    void whatAnAnswerWithoutSmileysStill() {
        Fixture f;
        f.save(smileysResult(u"0"_s, u"77"_s, {}));
        QVERIFY(f.rows(u"SELECT * FROM Smiles"_s).isEmpty());
        QCOMPARE(f.storedLastSmileId(), u"77"_s);

        // A service error answered No: the identifier moved before the question stays.
        f.prompts.answers = {false};
        f.save(smileysResult(u"2"_s, u"80"_s, {u":) http://k/1.gif"_s}));
        QVERIFY(f.prompts.questions.first().contains(u"|Mod_DB.DecodeSmiles:: "_s));
        QVERIFY(f.prompts.questions.first().endsWith(u"ДА - продолжаем, НЕТ - не продолжаем"_s));
        QVERIFY(f.rows(u"SELECT * FROM Smiles"_s).isEmpty());
        QCOMPARE(f.storedLastSmileId(), u"80"_s);

        // A smiley without a picture address spoils the answer: nothing is added.
        f.save(smileysResult(u"0"_s, u"81"_s, {u":) http://k/1.gif"_s, u":("_s}));
        QVERIFY(f.rows(u"SELECT * FROM Smiles"_s).isEmpty());
        QCOMPARE(f.storedLastSmileId(), u"81"_s);
        QVERIFY(f.messages().last().startsWith(u"Mod_DB.DecodeSmiles: "_s));
    }

    void aBrokenSmileysAnswerIsReported() {
        Fixture f;
        f.server.setFault(standin::Fault::Garbage, 1);
        QCOMPARE(OnDemandFetch::GetSmiles(f.ctx.session()), 0);
        QCOMPARE(f.messages().last(),
                 u"Получен некорректный ответ от сервера Kordenet\r\nОбмен с сервером прерван"_s);
        QCOMPARE(f.storedLastSmileId(), u"0"_s);
    }

    void allCommentsOfOnePost() {
        Fixture f;
        const standin::Post& post = *f.data.findPost(f.data.comments.front().postId);
        int expected = 0;
        for (const auto& comment : f.data.comments) {
            expected += comment.postId == post.id;
        }
        QVERIFY(expected > 0);
        OnDemandFetch::GetAllComments(f.ctx.session(),
                                      u"friendpostkey-"_s + QString::number(post.id) + u"-1"_s);
        QCOMPARE(f.rows(u"SELECT count(*) FROM Comments WHERE PostID = '"_s +
                        QString::number(post.id) + u'\''),
                 QStringList{QString::number(expected)});
        QCOMPARE(f.rows(u"SELECT count(*) FROM Comments"_s),
                 QStringList{QString::number(expected)});
        // The check time of the regular receive stays where it was.
        QCOMPARE(f.rows(u"SELECT iniValue FROM iniSettings WHERE iniVariable = "
                        u"'CheckTime_Comments'"_s),
                 QStringList{QString()});
        QCOMPARE(f.messages().last(), u"Операция завершена"_s);
        QCOMPARE(f.server.service().documents.first().queries.first().type, u"12"_s);
    }

    void allCommentsOnANodeThatIsNoPost() {
        Fixture f;
        for (const QString& key : {u"key-anna"_s, u"privkey-3"_s, u"MyDiaryRoot"_s, QString()}) {
            OnDemandFetch::GetAllComments(f.ctx.session(), key);
            QCOMPARE(f.messages().last(), u"Операция завершена"_s);
        }
        QVERIFY(f.server.received().isEmpty());
    }
};

QTEST_GUILESS_MAIN(OnDemandTest)
#include "tst_ondemand.moc"
