#include "MainForm.h"

#include "AccountForm.h"
#include "AppContext.h"
#include "BusyCursor.h"
#include "CommandAction.h"
#include "DiaryExportCommand.h"
#include "ExchangeController.h"
#include "ExitSequence.h"
#include "MessageView.h"
#include "RelForm.h"
#include "RunProgress.h"
#include "SettingsForm.h"
#include "StoreCopyCommands.h"
#include "TrayForm.h"
#include "TreePane.h"
#include "app/Constants.h"
#include "app/ErrorTrap.h"
#include "app/OrvError.h"
#include "app/TextFiles.h"
#include "app/UserPrompts.h"
#include "render/Renderer.h"
#include "store/FetchStack.h"
#include "store/OptionsStore.h"
#include "store/SettingsStore.h"
#include "sync/Maintenance.h"
#include "sync/PictureCache.h"
#include "tree/NodeKey.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace orv {
namespace {

// Image list keys "1" to "8", in order.
const QStringList kTreeIconFiles = {
    u"new_folder.bmp"_s, u"new_new.bmp"_s, u"new_read.bmp"_s, u"new_person.bmp"_s,
    u"not_send.bmp"_s,   u"send.bmp"_s,    u"select.bmp"_s,   u"in_doubt.bmp"_s,
};

} // namespace

MainForm::MainForm(AppContext& ctx, TrayForm& tray, QWidget* parent)
    : QMainWindow(parent)
    , m_ctx(ctx)
    , m_tray(tray)
    , m_renderer(std::make_unique<Renderer>(ctx.session())) {
    setObjectName(u"MainForm"_s);
    setWindowTitle(u"ORV главная форма"_s);
    Browser = new MessageView(m_ctx.log, new PictureCache(m_ctx, this), this);
    Browser->setMinimumWidth(240);
    m_treePane = new TreePane(m_ctx, *Browser, *m_renderer, this);
    m_exchanges = new ExchangeController(m_ctx, m_tray, *m_treePane, *m_renderer, *this);
    m_exit = new ExitSequence(*this, m_tray, [this] { saveWindowState(); });
    m_storeCopies = new StoreCopyCommands(m_ctx, this);
    m_diaryExport = new DiaryExportCommand(m_ctx, *m_renderer, this);
    connect(m_diaryExport->mnu_ExportDiary, &QAction::triggered, this,
            [this] { m_diaryExport->exportDiary(NodeKey(m_treePane->selectedKey()).owner()); });
    m_storeCopies->storeBusy = [this] { return m_treePane->isTreeLoading(); };
    connect(m_storeCopies, &StoreCopyCommands::restored, this, [this] {
        setMainCaption();
        Browser->showBlank();
        ReLoadTree();
    });
    connect(&m_tray, &TrayForm::notificationClicked, this, &MainForm::showFirstNew);
    buildWidgets();
    buildCommands();
    buildMenus();
    buildToolbar();
    orderFocus();
    fitToScreen();
    for (const QString& line : m_ctx.log.lines()) {
        showStatusLine(line);
    }
    connect(&m_ctx.log, &StatusLog::lineAdded, this, &MainForm::showStatusLine);
}

MainForm::~MainForm() = default;

SettingsForm* MainForm::settingsForm() const {
    return m_settingsForm;
}

RelForm* MainForm::relForm() const {
    return m_relForm;
}

void MainForm::buildWidgets() {
    m_splitter = new QSplitter(Qt::Horizontal, this);
    m_splitter->setObjectName(u"Command1"_s);
    m_splitter->addWidget(m_treePane);
    m_splitter->addWidget(Browser);
    m_splitter->setChildrenCollapsible(false);
    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 1);
    m_splitter->setSizes({300, 700});

    Status = new QComboBox(this);
    Status->setObjectName(u"Status"_s);
    Status->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    Status->setMinimumContentsLength(40);
    Status->setToolTip(u"Журнал событий"_s);

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(4, 4, 4, 0);
    layout->addWidget(m_splitter, 1);
    setCentralWidget(central);

    // The status list shows the latest line; a run adds its progress beside it.
    statusBar()->addWidget(Status, 1);
    statusBar()->addPermanentWidget(m_exchanges->runProgress());
}

void MainForm::buildCommands() {
    const auto command = [this](const QString& name, const QString& caption,
                                void (MainForm::*handler)(), const QKeySequence& shortcut = {}) {
        QAction* action = newCommand(this, name, caption, shortcut);
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    mnu_NewPost = command(u"mnu_NewPost"_s, u"Новое сообщение"_s, &MainForm::mnu_NewPost_Click);
    mnu_EditPost = command(u"mnu_EditPost"_s, u"Редактировать"_s, &MainForm::mnu_EditPost_Click);
    mnu_Comment = command(u"mnu_Comment"_s, u"Комментировать"_s, &MainForm::mnu_Comment_Click);
    mnu_NewPost2 =
        command(u"mnu_NewPost2"_s, u"Новое сообщение"_s, &MainForm::mnu_NewPost_Click, Qt::Key_F4);
    mnu_Comment2 =
        command(u"mnu_Comment2"_s, u"Комментировать"_s, &MainForm::mnu_Comment_Click, Qt::Key_F5);
    mnu_EditPost2 =
        command(u"mnu_EditPost2"_s, u"Редактировать"_s, &MainForm::mnu_EditPost_Click, Qt::Key_F6);
    mnu_Setting = command(u"mnu_Setting"_s, u"Установки"_s, &MainForm::mnu_Setting_Click);
    mnu_Account = command(u"mnu_Account"_s, u"Учётная запись"_s, &MainForm::mnu_Account_Click);
    mnu_setMes = command(u"mnu_setMes"_s, u"Настройка надписей"_s, &MainForm::mnu_setMes_Click);
    mnu_setcom = command(u"mnu_setcom"_s, u"Настройка комментариев"_s, &MainForm::mnu_setcom_Click);
    mnu_Friends = command(u"mnu_Friends"_s, u"Список друзей"_s, &MainForm::mnu_Friends_Click);
    mnu_About = command(u"mnu_About"_s, u"О программе"_s, &MainForm::mnu_About_Click);
    buildZoomCommands();
    m_treePane->buildContextMenu({mnu_NewPost, mnu_EditPost, mnu_Comment,
                                  m_exchanges->mnu_GetAllComments, m_diaryExport->mnu_ExportDiary});
}

void MainForm::buildZoomCommands() {
    const auto zoom = [this](const QString& name, const QString& caption,
                             const QList<QKeySequence>& keys, auto percent) {
        QAction* action = newCommand(this, name, caption, keys.first());
        action->setShortcuts(keys);
        connect(action, &QAction::triggered, Browser,
                [this, percent] { Browser->setZoom(percent(Browser->zoom())); });
        return action;
    };
    mnu_ZoomIn =
        zoom(u"mnu_ZoomIn"_s, u"Крупнее"_s,
             {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)},
             [](int now) { return now + MessageView::ZoomStep; });
    mnu_ZoomOut = zoom(u"mnu_ZoomOut"_s, u"Мельче"_s, {QKeySequence(Qt::CTRL | Qt::Key_Minus)},
                       [](int now) { return now - MessageView::ZoomStep; });
    mnu_ZoomReset = zoom(u"mnu_ZoomReset"_s, u"Обычный размер"_s,
                         {QKeySequence(Qt::CTRL | Qt::Key_0)}, [](int) { return 100; });
    // The reader's zoom is kept for the next start.
    connect(Browser, &MessageView::zoomChanged, this, [this](int percent) {
        m_ctx.options.view_zoom = percent;
        OptionsStore(m_ctx.userStore).save(m_ctx.options);
    });
    connect(Browser, &MessageView::endReached, m_treePane, &TreePane::mnu_NextNew_Click);
}

void MainForm::buildMenus() {
    const auto menu = [this](const QString& name, const QString& caption) {
        QMenu* menu = menuBar()->addMenu(caption);
        menu->setObjectName(name);
        return menu;
    };
    const ExchangeController& x = *m_exchanges;
    const TreePane& t = *m_treePane;
    QMenu* server = menu(u"mnu_Server"_s, u"&Сервер"_s);
    server->addActions({x.mnu_Get, x.mnu_Send, x.mnu_GetSmiles});
    server->addSeparator();
    server->addActions({m_storeCopies->mnu_Backup, m_storeCopies->mnu_Restore});
    server->addSeparator();
    server->addAction(m_exit->mnu_Exit);
    menu(u"mnu_Set"_s, u"&Настройки"_s)
        ->addActions({mnu_Account, mnu_Setting, mnu_setMes, x.mnu_update, mnu_setcom, mnu_Friends});
    QMenu* view = menu(u"mnu_View"_s, u"&Вид"_s);
    view->addActions({t.mnu_CollapseAll2, t.mnu_OnlyNew});
    view->addSeparator();
    view->addActions({mnu_ZoomIn, mnu_ZoomOut, mnu_ZoomReset});
    menu(u"mnu_Message"_s, u"С&ообщения"_s)
        ->addActions({mnu_NewPost2, mnu_Comment2, mnu_EditPost2, t.mnu_DelPost2, x.mnuSinglePost,
                      t.mnu_SetAllRead, t.mnu_NextNew});
    menu(u"mnu_Help"_s, u"С&правка"_s)->addAction(mnu_About);
}

void MainForm::buildToolbar() {
    Toolbar = addToolBar(u"Toolbar"_s);
    Toolbar->setObjectName(u"Toolbar"_s);
    Toolbar->setMovable(false);
    Toolbar->setIconSize(QSize(24, 24));
    // A button runs its command itself and is never disabled, unlike its
    // menu twin: a command that cannot run now says so itself.
    const auto button = [this](const QString& key, const QString& tip, QStyle::StandardPixmap icon,
                               auto* owner, auto handler) {
        QAction* action = Toolbar->addAction(style()->standardIcon(icon), tip);
        action->setObjectName(key);
        action->setToolTip(tip);
        connect(action, &QAction::triggered, owner, handler);
    };
    ExchangeController* x = m_exchanges;
    button(u"tb_get"_s, u"Получить "_s, QStyle::SP_ArrowDown, x,
           &ExchangeController::mnu_Get_Click);
    button(u"tb_send"_s, u"Отправить"_s, QStyle::SP_ArrowUp, x,
           &ExchangeController::mnu_Send_Click);
    button(u"tb_smile"_s, u"Получить список смайликов"_s, QStyle::SP_DialogYesButton, x,
           &ExchangeController::mnu_GetSmiles_Click);
    Toolbar->addSeparator();
    button(u"tb_setting"_s, u"Настройки"_s, QStyle::SP_FileDialogDetailedView, this,
           &MainForm::mnu_Setting_Click);
    button(u"tb_setcom"_s, u"Настройки комментариев"_s, QStyle::SP_MessageBoxInformation, this,
           &MainForm::mnu_setcom_Click);
    button(u"tb_friends"_s, u"Списки друзей и ПЧ"_s, QStyle::SP_DirHomeIcon, this,
           &MainForm::mnu_Friends_Click);
    Toolbar->addSeparator();
    button(u"tb_new"_s, u"Новое сообщение"_s, QStyle::SP_FileIcon, this,
           &MainForm::mnu_NewPost_Click);
    button(u"tb_comment"_s, u"Комментировать текущее сообщение"_s,
           QStyle::SP_FileDialogContentsView, this, &MainForm::mnu_Comment_Click);
    button(u"tb_recicle"_s, u"Удалить"_s, QStyle::SP_TrashIcon, m_treePane,
           &TreePane::mnu_DelPost_Click);
    Toolbar->addSeparator();
    Toolbar->addWidget(m_treePane->SearchText);
}

void MainForm::orderFocus() {
    // The keyboard starts in the tree and goes round to the view, the search
    // hits, the status list, the run's cancel button and the search box.
    const QList<QWidget*> chain = {m_treePane->tree(),
                                   Browser,
                                   m_treePane->SearchHits,
                                   Status,
                                   m_exchanges->runProgress()->cancelButton(),
                                   m_treePane->SearchText};
    for (qsizetype i = 1; i < chain.size(); ++i) {
        setTabOrder(chain[i - 1], chain[i]);
    }
}

void MainForm::fitToScreen() {
    const QRect available = screen()->availableGeometry();
    const QSize size(qMin(1100, available.width() * 9 / 10),
                     qMin(760, available.height() * 9 / 10));
    resize(size);
    move(available.center() - QPoint(size.width() / 2, size.height() / 2));
}

void MainForm::showStatusLine(const QString& line) {
    if (Status->count() >= MaxStatusLines) {
        Status->removeItem(0);
    }
    Status->addItem(line);
    Status->setCurrentIndex(Status->count() - 1);
}

void MainForm::Form_Load() {
    BusyCursor busy;
    runTrapped(m_ctx.log, u"MainForm.Load: "_s, [this] {
        TextFiles::DeleteIfExists(m_ctx.folder.logPath());
        m_ctx.options = OptionsStore(m_ctx.userStore).LoadOptions();
        Browser->setZoom(m_ctx.options.view_zoom);
        restoreWindowState();
        m_tray.Form_Load();
        m_ctx.folder.ensureTmpFolder();
        Browser->showBlank();
        loadTreeIcons();
        setVisible(!startsHidden());
        raise();
        activateWindow();
        repaint();
        m_treePane->setIcons(ImgList);
        m_ctx.db.open();
        SettingsStore(m_ctx.db, m_ctx.log, &m_ctx.keyring).ReadINI(m_ctx.settings);
        if (!m_ctx.settings.Password.isEmpty() && m_ctx.keyring.unavailableNews()) {
            m_ctx.log.LogStatus(u"Пароль хранится в базе: хранилище паролей недоступно"_s);
        }
        DeleteOldRecords();
        FetchStack(m_ctx.db).deleteFinished(); // waiting items are fetched by the next run
        setMainCaption();
        m_treePane->reloadTreeThen([this] {
            selectLastNode();
            offerLeftDraft();
        });
        m_ctx.log.LogStatus(u"Программа запущена"_s);
        if (m_ctx.settings.UserName.isEmpty()) {
            mnu_Account_Click(); // the account first; the full list stays in the menu
        }
    });
    m_exchanges->Timer->start();
}

void MainForm::loadTreeIcons() {
    ImgList.clear();
    for (const QString& name : kTreeIconFiles) {
        // A picture in the working folder's img/ replaces the built-in one.
        const QString own = m_ctx.folder.imgFolder() + u'/' + name;
        const QString path = QFileInfo::exists(own) ? own : u":/orv/img/"_s + name;
        QPixmap picture(path);
        if (picture.isNull()) {
            throw OrvError(u"Не могу прочитать рисунок: "_s + path);
        }
        // Magenta is the image list's transparent colour.
        picture.setMask(picture.createMaskFromColor(QColor(255, 0, 255)));
        ImgList.append(QIcon(picture));
    }
}

void MainForm::setMainCaption() {
    setWindowTitle(m_ctx.settings.UserName + u" - "_s + VersionTag + u" (главная форма)"_s);
}

void MainForm::DeleteOldRecords() {
    orv::DeleteOldRecords(m_ctx.session());
}

void MainForm::ReLoadTree() {
    m_treePane->ReLoadTree();
}

void MainForm::showFirstNew() {
    show();
    raise();
    activateWindow();
    m_treePane->selectFirstNew();
}

void MainForm::mnu_Setting_Click() {
    if (m_settingsForm && m_settingsForm->isVisible()) {
        m_settingsForm->raise();
        m_settingsForm->activateWindow();
        return;
    }
    m_settingsForm = new SettingsForm(m_ctx, this);
    connect(m_settingsForm, &SettingsForm::saved, this, &MainForm::setMainCaption);
    connect(m_settingsForm, &SettingsForm::exitRequested, this, [this] {
        DeleteOldRecords();
        ReLoadTree();
    });
    m_settingsForm->show();
    m_settingsForm->raise();
    m_settingsForm->activateWindow();
}

void MainForm::mnu_Account_Click() {
    if (!m_accountForm) {
        m_accountForm = new AccountForm(m_ctx, *m_exchanges, this);
        m_accountForm->setAttribute(Qt::WA_DeleteOnClose);
        connect(m_accountForm, &AccountForm::saved, this, &MainForm::setMainCaption);
    }
    m_accountForm->show();
    m_accountForm->raise();
    m_accountForm->activateWindow();
}

void MainForm::mnu_Friends_Click() {
    if (!m_relForm) {
        m_relForm = new RelForm(m_ctx, this);
    }
    m_relForm->show();
    m_relForm->raise();
    m_relForm->activateWindow();
}

void MainForm::closeEvent(QCloseEvent* event) {
    saveWindowState();
    if (m_exit->isExiting()) {
        event->accept();
        return;
    }
    event->ignore();
    if (TrayForm::notificationAreaAvailable()) {
        hide();
    } else {
        // Without a notification area a hidden window could not be reached again.
        QMetaObject::invokeMethod(&m_tray, &TrayForm::Form_Unload, Qt::QueuedConnection);
    }
}

} // namespace orv
