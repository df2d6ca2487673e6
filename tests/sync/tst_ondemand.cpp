#include "ExchangeFixture.h"
#include "StoreCheck.h"
#include "decode/ResultDocument.h"
#include "store/SmileStore.h"
#include "sync/OnDemandFetch.h"

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
