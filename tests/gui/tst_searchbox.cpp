#include "GuiFixture.h"
#include "TreeModel.h"
#include "store/ReceivedMessages.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTreeView>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace orv;

namespace {

struct Fixture : test::GuiFixture {
    Fixture() {
        configure(u"me"_s);
        start();
        ReceivedMessages(ctx->db).savePosts(
            {{u"Читаю «Мастера и Маргариту»"_s, u"О книгах"_s, u"05.03.2006 10:00:00"_s, u"anna"_s,
              u"100"_s, u"7"_s},
             {u"Про котов"_s, u"Коты"_s, u"05.03.2006 11:00:00"_s, u"boris"_s, u"101"_s, u"8"_s}});
        QVERIFY(reloadTree());
    }
    void search(const QString& text) {
        mainForm->SearchText->setText(text);
        mainForm->runSearch();
    }
};

} // namespace

class SearchBoxTest : public QObject {
    Q_OBJECT

private slots:
    void hitsLeadToTheirNodes() {
        Fixture f;
        f.search(u"маргарит*"_s);
        QVERIFY(f.mainForm->SearchHits->isVisibleTo(f.mainForm.get()));
        QCOMPARE(f.mainForm->SearchHits->count(), 1);
        auto* label = qobject_cast<QLabel*>(
            f.mainForm->SearchHits->itemWidget(f.mainForm->SearchHits->item(0)));
        QVERIFY(label->text().contains(u"<b>Маргариту</b>"_s));
        QVERIFY(label->text().contains(u"anna"_s));
        f.mainForm->showHit(0);
        QCOMPARE(f.mainForm->selectedKey().section(u'-', 0, 1), u"friendpostkey-100"_s);
        QVERIFY(QFile::exists(f.ctx->folder.outPagePath())); // its page is shown

        QTest::keyClick(f.mainForm->SearchHits, Qt::Key_Escape);
        QVERIFY(!f.mainForm->SearchHits->isVisibleTo(f.mainForm.get()));
    }

    void nothingFoundAndBadQueries() {
        Fixture f;
        f.search(u"собаки"_s);
        QVERIFY(!f.mainForm->SearchHits->isVisibleTo(f.mainForm.get()));
        QVERIFY(f.ctx->log.currentText().endsWith(u"  Поиск: ничего не найдено"_s));
        f.search(u"\"коты"_s);
        QVERIFY(f.ctx->log.currentText().endsWith(u"  Поиск: В запросе не закрыта кавычка."_s));
        QCOMPARE(f.ctx->log.failureCount(), 0);
    }
};

QTEST_MAIN(SearchBoxTest)
#include "tst_searchbox.moc"
