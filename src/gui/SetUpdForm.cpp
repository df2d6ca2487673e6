#include "SetUpdForm.h"

#include "AppContext.h"
#include "app/Constants.h"
#include "app/UserPrompts.h"
#include "store/OptionsStore.h"
#include "sync/AutoCheck.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace orv {

SetUpdForm::SetUpdForm(AppContext& ctx, QWidget* mainWindow)
    : QDialog(mainWindow)
    , m_ctx(ctx) {
    setObjectName(u"SetUpdForm"_s);
    setWindowTitle(u"Настройка автообновлений"_s);
    CheckUpd = new QCheckBox(u"&Проверять автоматически"_s, this);
    CheckUpd->setObjectName(u"CheckUpd"_s);
    auto* what = new QGroupBox(u"Получать"_s, this);
    Check_post = new QCheckBox(u"п&осты"_s, what);
    Check_post->setObjectName(u"Check_post"_s);
    Check_comment = new QCheckBox(u"&комментарии"_s, what);
    Check_comment->setObjectName(u"Check_comment"_s);
    Check_privat = new QCheckBox(u"&личные сообщения"_s, what);
    Check_privat->setObjectName(u"Check_privat"_s);
    Check_friends = new QCheckBox(u"списки &друзей и ПЧ"_s, what);
    Check_friends->setObjectName(u"Check_friends"_s);
    auto* whatLayout = new QVBoxLayout(what);
    for (QCheckBox* box : {Check_post, Check_comment, Check_privat, Check_friends}) {
        whatLayout->addWidget(box);
    }
    timeText = new QLineEdit(this);
    timeText->setObjectName(u"timeText"_s);
    timeText->setMaxLength(4);
    Check_notify = new QCheckBox(u"Показывать &уведомления"_s, this);
    Check_notify->setObjectName(u"Check_notify"_s);
    Check_startTray = new QCheckBox(u"Запускать свёрнутым в трей"_s, this);
    Check_startTray->setObjectName(u"Check_startTray"_s);
    Command1 = new QPushButton(u"&Сохранить"_s, this);
    Command1->setObjectName(u"Command1"_s);
    Command1->setDefault(true);

    auto* interval = new QFormLayout;
    auto* label = new QLabel(u"&Интервал, минут:"_s, this);
    label->setBuddy(timeText);
    interval->addRow(label, timeText);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(CheckUpd);
    layout->addWidget(what);
    layout->addLayout(interval);
    layout->addWidget(Check_notify);
    layout->addWidget(Check_startTray);
    layout->addWidget(Command1, 0, Qt::AlignRight);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    connect(Command1, &QPushButton::clicked, this, &SetUpdForm::Command1_Click);
    Form_Load();
}

void SetUpdForm::Form_Load() {
    const Options& o = m_ctx.options;
    CheckUpd->setChecked(o.check_update);
    Check_post->setChecked(o.check_post);
    Check_comment->setChecked(o.check_comment);
    Check_privat->setChecked(o.check_privat);
    Check_friends->setChecked(o.check_friends);
    timeText->setText(o.time_update);
    Check_notify->setChecked(o.show_notifications);
    Check_startTray->setChecked(o.StartMinimized);
}

void SetUpdForm::Command1_Click() {
    if (!AutoCheck::minutes(timeText->text())) {
        m_ctx.prompts.inform(VersionTag,
                             u"Интервал проверки - целое число минут от 1 до "_s +
                                 QString::number(AutoCheck::MaxMinutes) + u'.',
                             UserPrompts::Icon::Warning);
        timeText->setFocus();
        return;
    }
    Options& o = m_ctx.options;
    o.check_update = CheckUpd->isChecked();
    o.check_post = Check_post->isChecked();
    o.check_comment = Check_comment->isChecked();
    o.check_privat = Check_privat->isChecked();
    o.check_friends = Check_friends->isChecked();
    o.time_update = timeText->text().trimmed();
    o.show_notifications = Check_notify->isChecked();
    o.StartMinimized = Check_startTray->isChecked();
    OptionsStore(m_ctx.userStore).save(o);
    hide();
    emit saved();
}

void SetUpdForm::reject() {
    // Esc and the window's close button: the unsaved changes go.
    QDialog::reject();
    Form_Load();
    emit dismissed();
}

} // namespace orv
