#include "ExchangeFixture.h"
#include "ImageCheck.h"
#include "StandinPictures.h"
#include "StoreCheck.h"
#include "app/RunControl.h"
#include "render/PictureLinks.h"
#include "store/PictureStore.h"
#include "sync/PictureDownloads.h"
#include "sync/ReceiveRun.h"

#include <QtTest>

using namespace Qt::StringLiterals;
using namespace orv;

namespace {

struct Fixture : test::ExchangeFixture {
    PictureStore store{ctx.db, ctx.folder.picturesFolder()};

    Fixture()
        : ExchangeFixture(4) {
        ctx.isPicture = ImageCheck::decodes;
        ctx.exchangeTimeout = std::chrono::seconds(3);
    }

    QString at(const QString& path) const { return server.url() + path; }
    void post(const QString& body) { data.addPost(data.buddies.value(0), u"Фото"_s, body); }

    // The last line of the run: its counts.
    QString receive() {
        ReceiveRun(ctx.session()).run();
        return ctx.log.lines().constLast().mid(10);
    }
    int fetches(const QString& path = {}) const {
        return int(std::count_if(
            server.received().begin(), server.received().end(), [&](const auto& request) {
                return request.method == "GET" && (path.isEmpty() || request.path == path.toUtf8());
            }));
    }
    QStringList linesWith(const QString& text) const { return ctx.log.lines().filter(text); }
    QByteArray kept(const QString& url) {
        QFile file(store.keptFile(url).value_or(QString()));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};

} // namespace

class PicturesTest : public QObject {
    Q_OBJECT

private slots:
    // Every picture the new messages and the smileys name is fetched once,
    // kept byte for byte, and not fetched again.
    void picturesAreKeptWithTheMessages() {
        Fixture f;
        f.data.seedPictures(9);
        const QString self = standin::StandinData::SelfHost;
        f.post(u"<!-- <img src='"_s + self + u"/pic/20.png'> --><script><img src='"_s + self +
               u"/pic/21.png'></script>"_s);
        f.data.rehost(f.server.url());
        f.ctx.db.execute(u"INSERT INTO Smiles (Smile, SmileURL) VALUES (':)', '"_s +
                         f.at(u"/smiles/1.gif"_s) + u"')"_s);
        QCOMPARE(f.receive(), u"Получено: постов - 5, комментариев - "_s +
                                  QString::number(f.data.comments.size()));
        QCOMPARE(f.fetches(), 10); // what a page hides is not fetched
        for (int n = 1; n <= 9; ++n) {
            const QString url = f.at(u"/pic/%1.png"_s.arg(n));
            QCOMPARE(f.kept(url), standin::StandinPictures::png(n));
        }
        QCOMPARE(f.kept(f.at(u"/smiles/1.gif"_s)), standin::StandinPictures::animatedGif());
        QCOMPARE(f.linesWith(u"Загрузка картинок..."_s).size(), 1);

        f.receive();
        QCOMPARE(f.fetches(), 10);
    }

    // A host that misbehaves ends within the deadline and keeps nothing; the
    // failure is said once and the next run tries again; the run's own
    // result is unchanged.
    void misbehavingHostsKeepNothing_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("reason");
        QTest::newRow("over 10 MB") << u"/pic/big.png"_s << u"больше 10 МБ"_s;
        QTest::newRow("20 GB announced") << u"/pic/huge"_s << u"больше 10 МБ"_s;
        QTest::newRow("an HTML page") << u"/pic/page.html"_s << u"это не картинка"_s;
        QTest::newRow("never answers") << u"/pic/silent"_s << u"нет ответа за 3 с"_s;
        QTest::newRow("trickles") << u"/pic/trickle"_s << u"нет ответа за 3 с"_s;
        QTest::newRow("redirect loop") << u"/pic/loop"_s << u"Слишком много перенаправлений."_s;
        QTest::newRow("not found") << u"/pic/none.png"_s << u"ответ сервера 404"_s;
    }

    void misbehavingHostsKeepNothing() {
        QFETCH(QString, path);
        QFETCH(QString, reason);
        Fixture f;
        const QString url = f.at(path);
        f.post(u"<img src='"_s + url + u"'> и <img src=\""_s + f.at(u"/pic/5.png"_s) + u"\">"_s);
        const QString counts =
            u"Получено: постов - 5, комментариев - "_s + QString::number(f.data.comments.size());
        QCOMPARE(f.receive(), counts);
        QVERIFY(!f.store.keptFile(url));
        QVERIFY(f.store.keptFile(f.at(u"/pic/5.png"_s)));
        QCOMPARE(QDir(f.ctx.folder.picturesFolder()).entryList(QDir::Files).size(), 1);
        const QStringList said = f.linesWith(u"Картинка не загружена: "_s + url);
        QCOMPARE(said.size(), 1);
        QVERIFY2(said[0].contains(reason), qPrintable(said[0]));
        QCOMPARE(f.ctx.log.failureCount(), 0);

        f.receive();
        QVERIFY(!f.store.keptFile(url));
        QCOMPARE(f.linesWith(u"Картинка не загружена: "_s).size(), 1);
        QCOMPARE(test::rows(f.ctx.db, u"SELECT Misses FROM Pictures WHERE Bytes IS NULL"_s),
                 QStringList{u"2"_s});
    }

    // A run stopped before its pictures remembers them for the next one; a
    // host that lets a picture run out of time is not waited for again in
    // the same run.
    void stoppedRunsAndSlowHostsLeavePicturesForLater() {
        Fixture f;
        f.data.seedPictures(3);
        f.data.rehost(f.server.url());
        RunControl control;
        Session session = f.ctx.session();
        session.control = &control;
        ReceiveRun stopped(session);
        const auto mark = stopped.picturesMark();
        stopped.GetPost();
        control.requestCancel();
        stopped.GetPictures(mark);
        QCOMPARE(f.fetches(), 0);
        f.receive();
        QCOMPARE(f.fetches(), 3);

        QString silent;
        for (int copy = 1; copy <= 6; ++copy) {
            silent += u"<img src='"_s + f.at(u"/pic/silent?%1"_s.arg(copy)) + u"'>"_s;
        }
        f.post(silent);
        f.receive();
        QCOMPARE(f.fetches(), 3 + PictureDownloads::Parallel);
        QCOMPARE(test::rows(f.ctx.db, u"SELECT count(*) FROM Pictures WHERE Misses = 1"_s),
                 QStringList{QString::number(PictureDownloads::Parallel)});
    }

    void withLoadPicturesOffNothingIsFetched() {
        Fixture f;
        f.data.seedPictures(3);
        f.data.rehost(f.server.url());
        f.ctx.settings.LoadPictures = false;
        f.receive();
        QCOMPARE(f.fetches(), 0);
        QVERIFY(!QDir(f.ctx.folder.picturesFolder()).exists());
    }

    void aFolderThatCannotBeWrittenIsSaidOnce() {
        Fixture f;
        f.data.seedPictures(3);
        f.data.rehost(f.server.url());
        f.dir.write(u"pictures"_s, "a file where the folder should be");
        QCOMPARE(f.receive(), u"Получено: постов - 4, комментариев - "_s +
                                  QString::number(f.data.comments.size()));
        QCOMPARE(f.linesWith(u"Картинки не сохраняются"_s).size(), 1);
        QCOMPARE(f.fetches(), 0);
    }

    // Past the cache's size the least recently shown pictures go.
    void aFullCacheLetsTheLeastRecentlyShownGo() {
        Fixture f;
        const qint64 each = standin::StandinPictures::png(1).size();
        PictureDownloads downloads(f.ctx.db, f.ctx.folder.picturesFolder(), f.ctx.log,
                                   {std::chrono::seconds(5), each * 5 / 2}, ImageCheck::decodes);
        const auto fetch = [&](int n) {
            QSignalSpy finished(&downloads, &PictureDownloads::finished);
            downloads.fetch(f.at(u"/pic/%1.png"_s.arg(n)));
            QVERIFY(finished.wait(5000));
        };
        fetch(1);
        fetch(1); // standin pictures of one size
        QTest::qWait(5);
        fetch(2);
        QTest::qWait(5);
        f.store.markShown(f.at(u"/pic/1.png"_s));
        fetch(1);
        fetch(3);
        QVERIFY(f.store.keptFile(f.at(u"/pic/1.png"_s)));
        QVERIFY(!f.store.keptFile(f.at(u"/pic/2.png"_s)));
        QVERIFY(f.store.keptFile(f.at(u"/pic/3.png"_s)));
        QCOMPARE(QDir(f.ctx.folder.picturesFolder()).entryList(QDir::Files).size(), 2);
    }

    void theImgTagsOfABodyNameItsPictures_data() {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QStringList>("urls");
        QTest::newRow("quoting and case")
            << u"<img src=\"http://a/1.png\"><IMG SRC='https://a/2.gif' alt=x><img "
               u"border=0 src=http://a/3.jpg>"_s
            << QStringList{u"http://a/1.png"_s, u"https://a/2.gif"_s, u"http://a/3.jpg"_s};
        QTest::newRow("once each, references read")
            << u"<img src='http://a/p?x=1&amp;y=2'><img src='http://a/p?x=1&amp;y=2'>"_s
            << QStringList{u"http://a/p?x=1&y=2"_s};
        QTest::newRow("only the web")
            << u"<img src='file:///etc/passwd'><img src='data:image/png;base64,AA'><img "
               u"src='..\\img\\new_person.bmp'><img src='ftp://a/1.png'>"_s
            << QStringList{};
        QTest::newRow("not an img element")
            << u"<imgx src='http://a/1.png'><a src='http://a/2.png'>&lt;img src='http://a/3'>"_s
            << QStringList{};
        QTest::newRow("in a comment")
            << u"<!-- <img src='http://a/1.png'> --><img src='http://a/2.png'><!-- <img"_s
            << QStringList{u"http://a/2.png"_s};
        QTest::newRow("a tag left open")
            << u"text <img alt='x' src='http://a/1.png"_s << QStringList{};
    }

    void theImgTagsOfABodyNameItsPictures() {
        QFETCH(QString, html);
        QFETCH(QStringList, urls);
        QCOMPARE(PictureLinks::inHtml(html), urls);
    }
};

QTEST_GUILESS_MAIN(PicturesTest)
#include "tst_pictures.moc"
