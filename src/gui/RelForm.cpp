#include "RelForm.h"

#include "AppContext.h"
#include "AppIcon.h"
#include "app/ErrorTrap.h"
#include "store/AddressBook.h"

#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>

using namespace Qt::StringLiterals;

namespace orv {

RelForm::RelForm(AppContext& ctx, QWidget* mainWindow)
    : QWidget(mainWindow, Qt::Window)
    , ListFriends(new QListWidget(this))
    , ListPCh(new QListWidget(this))
    , AddFR(new QPushButton(u"Добавить друга"_s, this))
    , ButOK(new QPushButton(u"ОК"_s, this))
    , mnuFr(new QMenu(u"mnuFr"_s, this))
    , m_ctx(ctx) {
    setObjectName(u"RelForm"_s);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(u"Списки друзей и ПЧ"_s);
    setWindowIcon(AppIcon::friends());
    ListFriends->setObjectName(u"ListFriends"_s);
    ListPCh->setObjectName(u"ListPCh"_s);
    AddFR->setObjectName(u"AddFR"_s);
    ButOK->setObjectName(u"ButOK"_s);
    // Changing the lists on the service is not offered yet.
    AddFR->setEnabled(false);
    ButOK->setDefault(true);

    auto* friendsLabel = new QLabel(u"Ваши друзья (те, кого читаете Вы)"_s, this);
    friendsLabel->setBuddy(ListFriends);
    auto* readersLabel = new QLabel(u"Ваши ПЧ (те, кто читает Вас)"_s, this);
    readersLabel->setBuddy(ListPCh);
    auto* layout = new QGridLayout(this);
    layout->addWidget(friendsLabel, 0, 0);
    layout->addWidget(readersLabel, 0, 1);
    layout->addWidget(ListFriends, 1, 0);
    layout->addWidget(ListPCh, 1, 1);
    layout->addWidget(AddFR, 2, 0, Qt::AlignLeft);
    layout->addWidget(ButOK, 2, 1, Qt::AlignRight);

    mnuFr->addAction(u"Сделать другом"_s)->setObjectName(u"mnu_MakeFR"_s);
    mnuFr->addAction(u"Удалить из списка друзей"_s)->setObjectName(u"mnu_DelFR"_s);
    ListFriends->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ListFriends, &QWidget::customContextMenuRequested, this, &RelForm::ListFriends_MouseUp);
    connect(ListPCh, &QListWidget::itemClicked, this,
            [this] { ListPCh->setCurrentRow(-1); }); // the readers list keeps no selection
    connect(ButOK, &QPushButton::clicked, this, &QWidget::close);
    connect(new QShortcut(Qt::Key_Escape, this), &QShortcut::activated, this, &QWidget::close);
    resize(440, 480);
    if (mainWindow) {
        const QRect frame = mainWindow->frameGeometry();
        move(frame.center() - QPoint(width() / 2, height() / 2));
    }
    Form_Load();
}

void RelForm::Form_Load() {
    runTrapped(m_ctx.log, u"RelForm.Load: "_s, [this] {
        AddressBook book(m_ctx.db);
        ListFriends->addItems(book.nicks(AddressBook::Buddy));
        ListPCh->addItems(book.nicks(AddressBook::Reader));
    });
}

void RelForm::ListFriends_MouseUp(const QPoint& position) {
    const auto actions = mnuFr->actions();
    actions[0]->setEnabled(false); // "Сделать другом"
    actions[1]->setEnabled(true);  // "Удалить из списка друзей"
    mnuFr->popup(ListFriends->viewport()->mapToGlobal(position));
}

} // namespace orv
