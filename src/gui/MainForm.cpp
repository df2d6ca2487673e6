#include "MainForm.h"

#include "AppContext.h"
#include "BusyCursor.h"
#include "MessageView.h"
#include "RelForm.h"
#include "RunProgress.h"
#include "SettingsForm.h"
#include "TrayForm.h"
#include "TreeModel.h"
#include "TreeSwapper.h"
#include "app/Constants.h"
#include "app/ErrorTrap.h"
#include "app/ExchangeLock.h"
#include "app/OrvError.h"
#include "app/TextFiles.h"
#include "app/UserPrompts.h"
#include "render/Renderer.h"
#include "store/FetchStack.h"
#include "store/OptionsStore.h"
#include "store/SettingsStore.h"
#include "sync/ExchangeWorker.h"
#include "sync/Maintenance.h"
#include "sync/OnDemandFetch.h"
#include "sync/ReceiveRun.h"
#include "sync/SendRun.h"
#include "tree/TreeLoader.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QMenuBar>
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
    , m_treeModel(new TreeModel(this))
    , m_treeLoader(new TreeLoader(ctx.folder.databasePath(), ctx.log, this))
    , m_worker(new ExchangeWorker(ctx, this))
    , m_renderer(std::make_unique<Renderer>(ctx)) {
    setObjectName(u"MainForm"_s);
    setWindowTitle(u"ORV главная форма"_s);
    Timer = new QTimer(this);
    Timer->setObjectName(u"Timer"_s);
    Timer->setInterval(1000);
    connect(Timer, &QTimer::timeout, this, &MainForm::Timer_Timer);
    connect(&m_tray, &TrayForm::notificationClicked, this, &MainForm::showFirstNew);
    buildWidgets();
    buildMenus();
    buildToolbar();
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
    Tree = new QTreeView(this);
    Tree->setObjectName(u"Tree"_s);
    Tree->setModel(m_treeModel);
    Tree->setHeaderHidden(true);
    Tree->setUniformRowHeights(true);
    Tree->setIconSize(QSize(16, 16));
    Tree->setMinimumWidth(160);
    Tree->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Tree, &QWidget::customContextMenuRequested, this, &MainForm::Tree_MouseUp);
    m_treeSwapper = new TreeSwapper(*Tree, *m_treeModel, this);
    connect(m_treeLoader, &TreeLoader::built, this, &MainForm::showTree);
    // Clicks and the keyboard both show the item that becomes current.
    connect(Tree->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                if (!m_rebuilding) {
                    Tree_NodeClick(current);
                }
            });

    Browser = new MessageView(m_ctx.log, this);
    Browser->setMinimumWidth(240);

    // The hits of a search show above the tree while there are some.
    auto* leftPane = new QWidget(this);
    auto* leftLayout = new QVBoxLayout(leftPane);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    leftLayout->addWidget(buildSearchHits(), 1);
    leftLayout->addWidget(Tree, 2);

    m_splitter = new QSplitter(Qt::Horizontal, this);
    m_splitter->setObjectName(u"Command1"_s);
    m_splitter->addWidget(leftPane);
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
    m_runProgress = new RunProgress(this);
    connect(m_runProgress, &RunProgress::cancelRequested, m_worker, &ExchangeWorker::cancel);
    connect(m_worker, &ExchangeWorker::progress, m_runProgress, &RunProgress::setProgress);
    statusBar()->addWidget(Status, 1);
    statusBar()->addPermanentWidget(m_runProgress);
}

QAction* MainForm::command(QMenu* menu, const QString& name, const QString& caption,
                           void (MainForm::*handler)(), const QKeySequence& shortcut) {
    QAction* action = menu->addAction(caption, this, handler);
    action->setObjectName(name);
    action->setShortcut(shortcut);
    return action;
}

void MainForm::buildMenus() {
    // The tree's context menu; it never shows in the menu bar.
    mnu_Handler = new QMenu(u"mnu_Handler"_s, this);
    mnu_Handler->setObjectName(u"mnu_Handler"_s);
    mnu_NewPost =
        command(mnu_Handler, u"mnu_NewPost"_s, u"Новое сообщение"_s, &MainForm::mnu_NewPost_Click);
    mnu_EditPost =
        command(mnu_Handler, u"mnu_EditPost"_s, u"Редактировать"_s, &MainForm::mnu_EditPost_Click);
    mnu_Handler->addSeparator();
    mnu_Comment =
        command(mnu_Handler, u"mnu_Comment"_s, u"Комментировать"_s, &MainForm::mnu_Comment_Click);
    mnu_GetAllComments = command(mnu_Handler, u"mnu_GetAllComments"_s, u"Получить все комменты"_s,
                                 &MainForm::mnu_GetAllComments_Click);
    mnu_DelPost = command(mnu_Handler, u"mnu_DelPost"_s, u"Удалить сообщение"_s,
                          &MainForm::mnu_DelPost_Click);
    mnu_DelDiary = command(mnu_Handler, u"mnu_DelDiary"_s, u"Удалить дневник"_s,
                           &MainForm::mnu_DelDiary_Click);
    mnu_Handler->addSeparator();
    mnu_CollapseAll = command(mnu_Handler, u"mnu_CollapseAll"_s, u"Свернуть дерево"_s,
                              &MainForm::mnu_CollapseAll_Click);
    mnu_MakeDiaryRead =
        command(mnu_Handler, u"mnu_MakeDiaryRead"_s, u"Отметить дневник прочтенным"_s,
                &MainForm::mnu_MakeDiaryRead_Click);

    QMenu* server = menuBar()->addMenu(u"&Сервер"_s);
    server->setObjectName(u"mnu_Server"_s);
    mnu_Get = command(server, u"mnu_Get"_s, u"Получить"_s, &MainForm::mnu_Get_Click, Qt::Key_F2);
    mnu_Send =
        command(server, u"mnu_Send"_s, u"Отправить"_s, &MainForm::mnu_Send_Click, Qt::Key_F3);
    mnu_GetSmiles =
        command(server, u"mnu_GetSmiles"_s, u"Получить смайлы"_s, &MainForm::mnu_GetSmiles_Click);
    server->addSeparator();
    mnu_Exit =
        command(server, u"mnu_Exit"_s, u"Выход"_s, &MainForm::mnu_Exit_Click, QKeySequence::Quit);

    QMenu* settings = menuBar()->addMenu(u"&Настройки"_s);
    settings->setObjectName(u"mnu_Set"_s);
    mnu_Setting = command(settings, u"mnu_Setting"_s, u"Установки"_s, &MainForm::mnu_Setting_Click);
    mnu_setMes =
        command(settings, u"mnu_setMes"_s, u"Настройка надписей"_s, &MainForm::mnu_setMes_Click);
    mnu_update = command(settings, u"mnu_update"_s, u"Настройка автообновлений"_s,
                         &MainForm::mnu_update_Click);
    mnu_setcom = command(settings, u"mnu_setcom"_s, u"Настройка комментариев"_s,
                         &MainForm::mnu_setcom_Click);
    mnu_Friends =
        command(settings, u"mnu_Friends"_s, u"Список друзей"_s, &MainForm::mnu_Friends_Click);

    QMenu* view = menuBar()->addMenu(u"&Вид"_s);
    view->setObjectName(u"mnu_View"_s);
    mnu_CollapseAll2 = command(view, u"mnu_CollapseAll2"_s, u"Свернуть дерево"_s,
                               &MainForm::mnu_CollapseAll_Click, Qt::Key_F12);
    mnu_OnlyNew = command(view, u"mnu_OnlyNew"_s, u"Только новые комментарии"_s,
                          &MainForm::mnu_OnlyNew_Click, Qt::Key_F9);
    mnu_OnlyNew->setCheckable(true);

    QMenu* messages = menuBar()->addMenu(u"С&ообщения"_s);
    messages->setObjectName(u"mnu_Message"_s);
    mnu_NewPost2 = command(messages, u"mnu_NewPost2"_s, u"Новое сообщение"_s,
                           &MainForm::mnu_NewPost_Click, Qt::Key_F4);
    mnu_Comment2 = command(messages, u"mnu_Comment2"_s, u"Комментировать"_s,
                           &MainForm::mnu_Comment_Click, Qt::Key_F5);
    mnu_EditPost2 = command(messages, u"mnu_EditPost2"_s, u"Редактировать"_s,
                            &MainForm::mnu_EditPost_Click, Qt::Key_F6);
    mnu_DelPost2 = command(messages, u"mnu_DelPost2"_s, u"Удалить сообщение"_s,
                           &MainForm::mnu_DelPost_Click, Qt::Key_Delete);
    mnuSinglePost =
        command(messages, u"mnuSinglePost"_s, u"+1 Пост"_s, &MainForm::mnuSinglePost_Click);
    mnu_SetAllRead = command(messages, u"mnu_SetAllRead"_s, u"Отметить все прочтенными"_s,
                             &MainForm::mnu_SetAllRead_Click, QKeySequence(Qt::CTRL | Qt::Key_R));
    // Space belongs to the tree only: elsewhere it types or scrolls the view.
    mnu_NextNew = command(messages, u"mnu_NextNew"_s, u"Следующее новое"_s,
                          &MainForm::mnu_NextNew_Click, Qt::Key_Space);
    mnu_NextNew->setShortcutContext(Qt::WidgetShortcut);
    Tree->addAction(mnu_NextNew);

    QMenu* help = menuBar()->addMenu(u"С&правка"_s);
    help->setObjectName(u"mnu_Help"_s);
    mnu_About = command(help, u"mnu_About"_s, u"О программе"_s, &MainForm::mnu_About_Click);
}

void MainForm::buildToolbar() {
    Toolbar = addToolBar(u"Toolbar"_s);
    Toolbar->setObjectName(u"Toolbar"_s);
    Toolbar->setMovable(false);
    Toolbar->setIconSize(QSize(24, 24));
    const auto button = [this](const QString& key, const QString& tip, QStyle::StandardPixmap icon,
                               void (MainForm::*handler)()) {
        QAction* action = Toolbar->addAction(style()->standardIcon(icon), tip);
        action->setObjectName(key);
        action->setToolTip(tip);
        // A button runs its command itself and is never disabled, unlike its
        // menu twin: a command that cannot run now says so itself.
        connect(action, &QAction::triggered, this, handler);
    };
    button(u"tb_get"_s, u"Получить "_s, QStyle::SP_ArrowDown, &MainForm::mnu_Get_Click);
    button(u"tb_send"_s, u"Отправить"_s, QStyle::SP_ArrowUp, &MainForm::mnu_Send_Click);
    button(u"tb_smile"_s, u"Получить список смайликов"_s, QStyle::SP_DialogYesButton,
           &MainForm::mnu_GetSmiles_Click);
    Toolbar->addSeparator();
    button(u"tb_setting"_s, u"Настройки"_s, QStyle::SP_FileDialogDetailedView,
           &MainForm::mnu_Setting_Click);
    button(u"tb_setcom"_s, u"Настройки комментариев"_s, QStyle::SP_MessageBoxInformation,
           &MainForm::mnu_setcom_Click);
    button(u"tb_friends"_s, u"Списки друзей и ПЧ"_s, QStyle::SP_DirHomeIcon,
           &MainForm::mnu_Friends_Click);
    Toolbar->addSeparator();
    button(u"tb_new"_s, u"Новое сообщение"_s, QStyle::SP_FileIcon, &MainForm::mnu_NewPost_Click);
    button(u"tb_comment"_s, u"Комментировать текущее сообщение"_s,
           QStyle::SP_FileDialogContentsView, &MainForm::mnu_Comment_Click);
    button(u"tb_recicle"_s, u"Удалить"_s, QStyle::SP_TrashIcon, &MainForm::mnu_DelPost_Click);
    Toolbar->addSeparator();
    Toolbar->addWidget(buildSearchBox());
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
        restoreWindowState();
        m_tray.Form_Load();
        m_ctx.folder.ensureTmpFolder();
        Browser->showBlank();
        loadTreeIcons();
        setVisible(!startsHidden());
        raise();
        activateWindow();
        repaint();
        m_treeModel->setIcons(ImgList);
        m_ctx.db.open();
        SettingsStore(m_ctx.db, m_ctx.log).ReadINI(m_ctx.settings);
        DeleteOldRecords();
        FetchStack(m_ctx.db).deleteFinished(); // waiting items are fetched by the next run
        setMainCaption();
        reloadTreeThen([this] { selectLastNode(); });
        m_ctx.log.LogStatus(u"Программа запущена"_s);
        if (m_ctx.settings.UserName.isEmpty()) {
            mnu_Setting_Click();
            m_ctx.prompts.inform(VersionTag, u"Перед использованием программы, настройте её."_s,
                                 UserPrompts::Icon::Critical);
            mnu_Setting_Click(); // back on top once the message is read
        }
    });
    Timer->start();
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

void MainForm::mnu_Get_Click() {
    startExchange([](const Session& session) { ReceiveRun(session).run(); },
                  u"MainForm.mnu_Get_Click: "_s, TrayForm::Receiving,
                  {mnu_Get, mnu_Send, mnu_GetAllComments});
}

void MainForm::mnu_Send_Click() {
    // Receiving and sending stay enabled: while a run goes on, a second one
    // is refused with a status line.
    startExchange([](const Session& session) { SendRun(session).run(); },
                  u"MainForm.mnu_Send_Click: "_s, TrayForm::Sending, {mnu_GetAllComments});
}

void MainForm::mnu_GetAllComments_Click() {
    const QString key = selectedKey();
    startExchange([key](const Session& session) { OnDemandFetch::GetAllComments(session, key); },
                  u"MainForm.mnu_GetAllComments_Click: "_s, TrayForm::Receiving,
                  {mnu_GetAllComments});
}

void MainForm::mnu_GetSmiles_Click() {
    // The view shows the new smileys from its next page on.
    startExchange([](const Session& session) { OnDemandFetch::GetSmiles(session); },
                  u"MainForm.mnu_GetSmiles_Click: "_s, TrayForm::Receiving, {},
                  [this] { m_renderer->smileysChanged(); });
}

bool MainForm::startExchange(std::function<void(const Session&)> job, const QString& prefix,
                             const QString& activity, const QList<QAction*>& busy,
                             std::function<void()> whenDone) {
    if (!m_worker->start(std::move(job), prefix)) {
        m_ctx.log.LogStatus(ExchangeLock::BusyText);
        return false;
    }
    for (QAction* action : busy) {
        action->setEnabled(false);
    }
    m_runProgress->start();
    m_tray.showRunning(activity);
    connect(
        m_worker, &ExchangeWorker::finished, this,
        [this, busy, whenDone] {
            m_runProgress->finish();
            m_tray.showIdle();
            if (whenDone) {
                whenDone();
            }
            // The run wrote check times through its own connection.
            SettingsStore(m_ctx.db, m_ctx.log).ReadINI(m_ctx.settings);
            for (QAction* action : busy) {
                action->setEnabled(true);
            }
            reloadTreeThen([this] { emit exchangeFinished(); });
        },
        Qt::SingleShotConnection);
    return true;
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

void MainForm::mnu_Friends_Click() {
    if (!m_relForm) {
        m_relForm = new RelForm(m_ctx, this);
    }
    m_relForm->show();
    m_relForm->raise();
    m_relForm->activateWindow();
}

void MainForm::mnuSinglePost_Click() {
    const QString title = u"Запрос на ввод номера поста"_s;
    const auto typed =
        m_ctx.prompts.askText(title, u"Введи номер поста (не коммента!), который нужно получить"_s);
    if (typed && StackSinglePost(m_ctx.session(), *typed)) {
        ReLoadTree();
        return;
    }
    m_ctx.prompts.inform(title, u"Введенный номер не корректен. Попробуй еще раз."_s,
                         UserPrompts::Icon::None);
}

void MainForm::closeEvent(QCloseEvent* event) {
    saveWindowState();
    if (m_exiting) {
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
