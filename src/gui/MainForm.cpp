#include "MainForm.h"

#include "MessageView.h"
#include "SettingsForm.h"
#include "TrayForm.h"
#include "TreeModel.h"
#include "app/AppContext.h"
#include "app/Constants.h"
#include "app/ErrorTrap.h"
#include "app/OrvError.h"
#include "app/TextFiles.h"
#include "app/UserPrompts.h"
#include "store/FetchStack.h"
#include "store/OptionsStore.h"
#include "store/SettingsStore.h"
#include "sync/ExchangeWorker.h"
#include "sync/Maintenance.h"
#include "sync/ReceiveRun.h"
#include "tree/TreeBuilder.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QHeaderView>
#include <QMenuBar>
#include <QScreen>
#include <QSplitter>
#include <QTreeView>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace orv {
namespace {

// The busy pointer for the lifetime of the object, whatever way the scope ends.
class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

// Image list keys "1" to "7", in order.
const QStringList kTreeIconFiles = {
    u"new_folder.bmp"_s, u"new_new.bmp"_s, u"new_read.bmp"_s, u"new_person.bmp"_s,
    u"not_send.bmp"_s,   u"send.bmp"_s,    u"select.bmp"_s,
};

} // namespace

MainForm::MainForm(AppContext& ctx, TrayForm& tray, QWidget* parent)
    : QMainWindow(parent)
    , m_ctx(ctx)
    , m_tray(tray)
    , m_treeModel(new TreeModel(this))
    , m_worker(new ExchangeWorker(ctx, this)) {
    setObjectName(u"MainForm"_s);
    setWindowTitle(u"ORV главная форма"_s);
    buildWidgets();
    buildMenus();
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

void MainForm::buildWidgets() {
    Tree = new QTreeView(this);
    Tree->setObjectName(u"Tree"_s);
    Tree->setModel(m_treeModel);
    Tree->setHeaderHidden(true);
    Tree->setUniformRowHeights(true);
    Tree->setIconSize(QSize(16, 16));
    Tree->setMinimumWidth(160);

    Browser = new MessageView(m_ctx.log, this);
    Browser->setMinimumWidth(240);

    m_splitter = new QSplitter(Qt::Horizontal, this);
    m_splitter->setObjectName(u"Command1"_s);
    m_splitter->addWidget(Tree);
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
    layout->setContentsMargins(4, 4, 4, 4);
    layout->addWidget(m_splitter, 1);
    layout->addWidget(Status);
    setCentralWidget(central);
}

void MainForm::buildMenus() {
    QMenu* server = menuBar()->addMenu(u"&Сервер"_s);
    server->setObjectName(u"mnu_Server"_s);
    mnu_Get = server->addAction(u"Получить"_s, this, &MainForm::mnu_Get_Click);
    mnu_Get->setObjectName(u"mnu_Get"_s);
    mnu_Get->setShortcut(Qt::Key_F2);

    QMenu* settings = menuBar()->addMenu(u"&Настройки"_s);
    settings->setObjectName(u"mnu_Set"_s);
    settings->addAction(u"Установки"_s, this, &MainForm::mnu_Setting_Click)
        ->setObjectName(u"mnu_Setting"_s);
}

void MainForm::fitToScreen() {
    const QRect available = screen()->availableGeometry();
    const QSize size(qMin(1100, available.width() * 9 / 10),
                     qMin(760, available.height() * 9 / 10));
    resize(size);
    move(available.center() - QPoint(size.width() / 2, size.height() / 2));
}

void MainForm::showStatusLine(const QString& line) {
    Status->addItem(line);
    Status->setCurrentIndex(Status->count() - 1);
}

void MainForm::Form_Load() {
    BusyCursor busy;
    runTrapped(m_ctx.log, u"MainForm.Load: "_s, [this] {
        TextFiles::DeleteIfExists(m_ctx.folder.logPath());
        m_ctx.options = OptionsStore(m_ctx.userStore).LoadOptions();
        m_tray.Form_Load();
        m_ctx.folder.ensureTmpFolder();
        Browser->showBlank();
        m_selectedIndex = 0;
        loadTreeIcons();
        show();
        raise();
        activateWindow();
        repaint();
        m_treeModel->setIcons(ImgList);
        m_ctx.db.open();
        SettingsStore(m_ctx.db, m_ctx.log).ReadINI(m_ctx.settings);
        DeleteOldRecords();
        FetchStack(m_ctx.db).clear();
        setMainCaption();
        ReLoadTree();
        m_ctx.log.LogStatus(u"Программа запущена"_s);
        if (m_ctx.settings.UserName.isEmpty()) {
            mnu_Setting_Click();
            m_ctx.prompts.inform(VersionTag, u"Перед использованием программы, настройте её."_s,
                                 UserPrompts::Icon::Critical);
            mnu_Setting_Click(); // back on top once the message is read
        }
    });
}

void MainForm::loadTreeIcons() {
    ImgList.clear();
    for (const QString& name : kTreeIconFiles) {
        const QString path = m_ctx.folder.imgFolder() + u'/' + name;
        if (!QFileInfo::exists(path)) {
            throw OrvError(u"Файл не найден: "_s + path);
        }
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

void MainForm::ReLoadTree() {
    BusyCursor busy;
    const QString selectedKey = Tree->currentIndex().data(TreeModel::KeyRole).toString();
    TreeSnapshot snapshot = TreeBuilder(m_ctx.settings).build();
    m_newInTree = snapshot.NewInTree;
    m_treeModel->reset(std::move(snapshot));
    const auto& nodes = m_treeModel->snapshot().nodes;
    for (size_t i = 0; i < nodes.size(); ++i) {
        if (nodes[i].expanded) {
            Tree->expand(m_treeModel->indexOfNode(int(i)));
        }
    }
    const int reselected = m_treeModel->snapshot().indexOfKey(selectedKey);
    if (!selectedKey.isEmpty() && reselected >= 0) {
        Tree->setCurrentIndex(m_treeModel->indexOfNode(reselected));
    }
}

void MainForm::DeleteOldRecords() {
    orv::DeleteOldRecords(m_ctx.session());
}

void MainForm::mnu_Get_Click() {
    const bool started = m_worker->start([](const Session& session) { ReceiveRun(session).run(); });
    if (!started) {
        m_ctx.log.LogStatus(u"Обмен с сервером уже идёт, дождитесь его окончания."_s);
        return;
    }
    mnu_Get->setEnabled(false);
    connect(
        m_worker, &ExchangeWorker::finished, this,
        [this] {
            // The run wrote check times through its own connection.
            SettingsStore(m_ctx.db, m_ctx.log).ReadINI(m_ctx.settings);
            ReLoadTree();
            mnu_Get->setEnabled(true);
            emit exchangeFinished();
        },
        Qt::SingleShotConnection);
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

void MainForm::closeEvent(QCloseEvent* event) {
    if (windowTitle().isEmpty()) { // the exit command is under way
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
