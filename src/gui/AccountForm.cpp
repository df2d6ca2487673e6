#include "AccountForm.h"

#include "AppContext.h"
#include "ExchangeController.h"
#include "app/Constants.h"
#include "app/ErrorTrap.h"
#include "store/SettingsStore.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace orv {
namespace {

constexpr int kMaxPostLimit = 100000;
constexpr int kMaxOffsetHours = 14;

} // namespace

AccountForm::AccountForm(AppContext& ctx, ExchangeController& exchanges, QWidget* parent)
    : QDialog(parent)
    , TxtUser(new QLineEdit(this))
    , TxtPassword(new QLineEdit(this))
    , ChkShowPassword(new QCheckBox(u"показать"_s, this))
    , TxtService(new QLineEdit(this))
    , SpinMaxPost(new QSpinBox(this))
    , SpinTimeOffset(new QSpinBox(this))
    , LblCheck(new QLabel(this))
    , ButCheck(new QPushButton(u"Проверить соединение"_s, this))
    , ButSave(new QPushButton(u"Сохранить"_s, this))
    , ButCancel(new QPushButton(u"Отмена"_s, this))
    , m_ctx(ctx)
    , m_exchanges(exchanges) {
    setObjectName(u"AccountForm"_s);
    setWindowTitle(VersionTag + u" :: учётная запись"_s);
    buildWidgets();
    load();
}

void AccountForm::buildWidgets() {
    TxtPassword->setEchoMode(QLineEdit::Password);
    connect(ChkShowPassword, &QCheckBox::toggled, this, [this](bool shown) {
        TxtPassword->setEchoMode(shown ? QLineEdit::Normal : QLineEdit::Password);
    });
    SpinMaxPost->setRange(1, kMaxPostLimit);
    SpinTimeOffset->setRange(-kMaxOffsetHours, kMaxOffsetHours);
    SpinTimeOffset->setSuffix(u" ч"_s);
    LblCheck->setWordWrap(true);
    auto* password = new QHBoxLayout;
    password->addWidget(TxtPassword, 1);
    password->addWidget(ChkShowPassword);
    auto* maxPostHint =
        new QLabel(u"Больше новых сообщений за один обмен не запрашивается."_s, this);
    maxPostHint->setWordWrap(true);
    auto* form = new QFormLayout;
    form->addRow(u"Имя пользователя:"_s, TxtUser);
    form->addRow(u"Пароль:"_s, password);
    form->addRow(u"Адрес сервиса:"_s, TxtService);
    form->addRow(u"Сколько сообщений запрашивать за один раз:"_s, SpinMaxPost);
    form->addRow(QString(), maxPostHint);
    form->addRow(u"Разница во времени с сервером:"_s, SpinTimeOffset);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(ButCheck, QDialogButtonBox::ActionRole);
    buttons->addButton(ButSave, QDialogButtonBox::AcceptRole);
    buttons->addButton(ButCancel, QDialogButtonBox::RejectRole);
    ButSave->setDefault(true);
    connect(ButCheck, &QPushButton::clicked, this, &AccountForm::ButCheck_Click);
    connect(ButSave, &QPushButton::clicked, this, &AccountForm::ButSave_Click);
    connect(ButCancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(LblCheck);
    layout->addWidget(buttons);
}

void AccountForm::load() {
    const Settings& s = m_ctx.settings;
    TxtUser->setText(s.UserName);
    TxtPassword->setText(s.Password);
    TxtService->setText(s.serviceAddress());
    // A stored value the box cannot hold shows its nearest limit.
    SpinMaxPost->setValue(s.MaxPost.trimmed().toInt());
    SpinTimeOffset->setValue(s.TimeOffset.trimmed().toInt());
}

Settings AccountForm::edited() const {
    Settings s = m_ctx.settings;
    s.UserName = TxtUser->text().trimmed();
    s.Password = TxtPassword->text();
    s.ServiceURL = TxtService->text().trimmed();
    s.MaxPost = QString::number(SpinMaxPost->value());
    s.TimeOffset = QString::number(SpinTimeOffset->value());
    return s;
}

void AccountForm::ButCheck_Click() {
    LblCheck->setText(u"Проверка…"_s);
    ButCheck->setEnabled(false);
    QPointer<AccountForm> self(this);
    const bool started = m_exchanges.checkLogin(edited(), [self](const QString& result) {
        if (self) {
            self->LblCheck->setText(result);
            self->ButCheck->setEnabled(true);
        }
    });
    if (!started) {
        LblCheck->clear();
        ButCheck->setEnabled(true);
    }
}

void AccountForm::ButSave_Click() {
    const Settings s = edited();
    const QHash<QString, QString> values = {{u"UserName"_s, s.UserName},
                                            {u"Password"_s, s.Password},
                                            {u"ServiceURL"_s, s.ServiceURL},
                                            {u"MaxPost"_s, s.MaxPost},
                                            {u"TimeOffset"_s, s.TimeOffset}};
    // Through the settings list's own path: the rows in display order, these
    // five changed.
    const bool stored = runTrapped(m_ctx.log, u"AccountForm.ButSave_Click: "_s, [&] {
        SettingsStore store(m_ctx.db, m_ctx.log);
        QStringList rows;
        for (const SettingRow& row : store.editorRows()) {
            rows.append(values.value(row.key, row.value));
        }
        store.saveEditorValues(rows);
        // The password goes where it is kept: the keyring when there is one,
        // also when it was emptied.
        SettingsStore(m_ctx.db, m_ctx.log, &m_ctx.keyring).writeOne(s, u"Password"_s);
    });
    if (!stored) {
        return; // the window stays open with what was typed
    }
    m_ctx.db.ReConnect(m_ctx.log);
    SettingsStore(m_ctx.db, m_ctx.log, &m_ctx.keyring).ReadINI(m_ctx.settings);
    emit saved();
    accept();
}

} // namespace orv
