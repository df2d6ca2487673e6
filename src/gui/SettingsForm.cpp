#include "SettingsForm.h"

#include "AppContext.h"
#include "app/Constants.h"
#include "app/ErrorTrap.h"
#include "app/UnixTime.h"
#include "app/UserPrompts.h"

#include <QFocusEvent>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QStandardPaths>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace orv {
namespace {

bool isSecret(const QString& key) {
    return key == u"Password"_s || key == u"ProxyPass"_s;
}

} // namespace

SettingsForm::SettingsForm(AppContext& ctx, QWidget* mainWindow)
    : QWidget(mainWindow, Qt::Window)
    , m_ctx(ctx) {
    setObjectName(u"SettingsForm"_s);
    setAttribute(Qt::WA_DeleteOnClose);
    buildWidgets();
    Form_Load();
    fitToDescriptions();
    if (mainWindow) {
        centreOver(mainWindow);
    }
}

void SettingsForm::buildWidgets() {
    ListVars = new QListWidget(this);
    ListVars->setObjectName(u"ListVars"_s);
    ListVars->setMinimumWidth(360);

    TxtValue = new QLineEdit(this);
    TxtValue->setObjectName(u"TxtValue"_s);
    TxtValue->installEventFilter(this);
    TxtDate = new QLineEdit(this);
    TxtDate->setObjectName(u"TxtDate"_s);
    TxtDate->setPlaceholderText(u"ДД.ММ.ГГГГ"_s);
    TxtTime = new QLineEdit(this);
    TxtTime->setObjectName(u"TxtTime"_s);
    TxtTime->setPlaceholderText(u"чч:мм:сс"_s);
    ButUp = new QPushButton(u"слить в Unix-дату"_s, this);
    ButUp->setObjectName(u"ButUp"_s);
    ButDown = new QPushButton(u"Разложить на дату/время"_s, this);
    ButDown->setObjectName(u"ButDown"_s);
    ButSave = new QPushButton(u"Сохранить"_s, this);
    ButSave->setObjectName(u"ButSave"_s);
    ButExit = new QPushButton(u"Выход"_s, this);
    ButExit->setObjectName(u"ButExit"_s);
    ButShowInetSettings = new QPushButton(u"Настройки сети"_s, this);
    ButShowInetSettings->setObjectName(u"ButShowInetSettings"_s);
    ButShowInetSettings->setVisible(!networkSettingsTool().isEmpty());

    auto* valueBox = new QGroupBox(u"Значение"_s, this);
    auto* valueLayout = new QGridLayout(valueBox);
    valueLayout->addWidget(TxtValue, 0, 0, 1, 2);
    valueLayout->addWidget(new QLabel(u"Дата:"_s, valueBox), 1, 0);
    valueLayout->addWidget(TxtDate, 1, 1);
    valueLayout->addWidget(new QLabel(u"Время:"_s, valueBox), 2, 0);
    valueLayout->addWidget(TxtTime, 2, 1);
    valueLayout->addWidget(ButDown, 3, 0, 1, 2);
    valueLayout->addWidget(ButUp, 4, 0, 1, 2);
    valueLayout->setRowStretch(5, 1);

    // The value box takes the spare width: addresses are long.
    auto* top = new QHBoxLayout;
    top->addWidget(ListVars);
    top->addWidget(valueBox, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(ButShowInetSettings);
    buttons->addStretch(1);
    buttons->addWidget(ButSave);
    buttons->addWidget(ButExit);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(buttons);
    resize(720, 440);

    connect(ListVars, &QListWidget::currentRowChanged, this, &SettingsForm::ListVars_Click);
    connect(TxtValue, &QLineEdit::textEdited, this, &SettingsForm::TxtValue_Edited);
    connect(ButUp, &QPushButton::clicked, this, &SettingsForm::ButUp_Click);
    connect(ButDown, &QPushButton::clicked, this, &SettingsForm::ButDown_Click);
    connect(ButSave, &QPushButton::clicked, this, &SettingsForm::ButSave_Click);
    connect(ButExit, &QPushButton::clicked, this, &SettingsForm::ButExit_Click);
    connect(ButShowInetSettings, &QPushButton::clicked, this,
            &SettingsForm::ButShowInetSettings_Click);
    auto* save = new QShortcut(QKeySequence::Save, this);
    connect(save, &QShortcut::activated, this, &SettingsForm::ButSave_Click);
    auto* escape = new QShortcut(Qt::Key_Escape, this);
    connect(escape, &QShortcut::activated, this, &SettingsForm::ButExit_Click);
}

void SettingsForm::fitToDescriptions() {
    // The list as wide as its longest description while the screen leaves the
    // value box room for a long address; the value box gets the rest.
    constexpr int valueRoom = 440;
    const int room = screen()->availableGeometry().width() * 9 / 10;
    const int descriptions = ListVars->sizeHintForColumn(0) + 2 * ListVars->frameWidth() +
                             ListVars->verticalScrollBar()->sizeHint().width();
    ListVars->setMinimumWidth(qBound(360, descriptions, qMax(360, qMin(560, room - valueRoom))));
    resize(qMax(width(), qMin(ListVars->minimumWidth() + valueRoom, room)), height());
}

void SettingsForm::centreOver(const QWidget* window) {
    const QRect frame = window->frameGeometry();
    move(frame.left() + (frame.width() / 2 - width() / 2),
         frame.top() + (frame.height() / 2 - height() / 2));
}

void SettingsForm::Form_Load() {
    setWindowTitle(VersionTag + u" :: настройки программы"_s);
    runTrapped(m_ctx.log, u"SettingsForm.Load: "_s, [this] {
        m_rows = SettingsStore(m_ctx.db, m_ctx.log, &m_ctx.keyring).editorRows();
        const QSignalBlocker blocker(ListVars);
        for (const SettingRow& row : m_rows) {
            ListVars->addItem(row.comment);
        }
    });
    m_currentRow = 0;
    if (!m_rows.empty()) {
        ListVars->setCurrentRow(0);
        ListVars_Click(0);
        TxtValue->setFocus();
    } else {
        UpdateDateFields();
    }
}

void SettingsForm::ListVars_Click(int row) {
    if (row < 0 || size_t(row) >= m_rows.size()) {
        return;
    }
    m_currentRow = row;
    const SettingRow& setting = m_rows[size_t(row)];
    TxtValue->setEchoMode(isSecret(setting.key) ? QLineEdit::Password : QLineEdit::Normal);
    TxtValue->setText(setting.value);
    TxtValue->selectAll(); // typing replaces the old value
    TxtValue->setToolTip(setting.key);
    UpdateDateFields();
}

bool SettingsForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == TxtValue && event->type() == QEvent::FocusIn) {
        // Coming back to the window leaves the cursor where it was.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason &&
            reason != Qt::MenuBarFocusReason) {
            // After the click that gave the focus has placed the cursor.
            QTimer::singleShot(0, TxtValue, &QLineEdit::selectAll);
        }
    }
    return QWidget::eventFilter(watched, event);
}

void SettingsForm::TxtValue_Edited(const QString& text) {
    if (size_t(m_currentRow) < m_rows.size()) {
        m_rows[size_t(m_currentRow)].value = text;
    }
    UpdateDateFields();
}

void SettingsForm::UpdateDateFields() {
    const bool unixTime = UnixTime::looksLikeUnixTime(TxtValue->text());
    for (QWidget* w : {static_cast<QWidget*>(ButDown), static_cast<QWidget*>(ButUp),
                       static_cast<QWidget*>(TxtTime), static_cast<QWidget*>(TxtDate)}) {
        w->setEnabled(unixTime);
    }
    if (unixTime) {
        ButDown_Click();
    } else {
        TxtDate->clear();
        TxtTime->clear();
    }
}

void SettingsForm::ButDown_Click() {
    if (const auto parts = UnixTime::split(TxtValue->text())) {
        TxtDate->setText(parts->date);
        TxtTime->setText(parts->time);
    }
}

void SettingsForm::ButUp_Click() {
    const auto seconds = UnixTime::merge(TxtDate->text(), TxtTime->text());
    if (!seconds) {
        m_ctx.prompts.inform(VersionTag,
                             u"Дата или время введены неверно. Дата пишется как ДД.ММ.ГГГГ, "
                             u"время как чч:мм:сс."_s,
                             UserPrompts::Icon::Warning);
        return;
    }
    TxtValue->setText(*seconds);
    TxtValue_Edited(*seconds);
}

void SettingsForm::ButSave_Click() {
    const bool stored = runTrapped(m_ctx.log, u"SettingsForm.ButSave_Click: "_s, [this] {
        QStringList values;
        for (const SettingRow& row : m_rows) {
            values.append(row.value);
        }
        SettingsStore(m_ctx.db, m_ctx.log, &m_ctx.keyring).saveEditorValues(values);
    });
    if (!stored) {
        return;
    }
    m_ctx.db.ReConnect(m_ctx.log);
    SettingsStore(m_ctx.db, m_ctx.log, &m_ctx.keyring).ReadINI(m_ctx.settings);
    emit saved();
}

void SettingsForm::ButExit_Click() {
    emit exitRequested();
    close();
}

QString SettingsForm::networkSettingsTool() {
    for (const QString& tool : {u"nm-connection-editor"_s, u"gnome-control-center"_s}) {
        if (!QStandardPaths::findExecutable(tool).isEmpty()) {
            return tool;
        }
    }
    return {};
}

void SettingsForm::ButShowInetSettings_Click() {
    const QString tool = networkSettingsTool();
    const QStringList arguments =
        tool == u"gnome-control-center"_s ? QStringList{u"network"_s} : QStringList{};
    if (!tool.isEmpty()) {
        QProcess::startDetached(tool, arguments);
    }
}

} // namespace orv
