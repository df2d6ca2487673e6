#include "CommForm.h"

#include "AppContext.h"
#include "store/OptionsStore.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace orv {

CommForm::CommForm(AppContext& ctx, QWidget* parent)
    : QDialog(parent)
    , m_ctx(ctx) {
    setObjectName(u"CommForm"_s);
    setWindowTitle(u"Комментарии"_s);
    auto* Frame1 = new QGroupBox(u"Комментировать..."_s, this);
    Frame1->setObjectName(u"Frame1"_s);
    Option1 = new QRadioButton(u"с &цитатой"_s, Frame1);
    Option1->setObjectName(u"Option1"_s);
    Option2 = new QRadioButton(u"вставить &имя"_s, Frame1);
    Option2->setObjectName(u"Option2"_s);
    Option3 = new QRadioButton(u"&без всего"_s, Frame1);
    Option3->setObjectName(u"Option3"_s);
    auto* options = new QVBoxLayout(Frame1);
    options->addWidget(Option1);
    options->addWidget(Option2);
    options->addWidget(Option3);
    Check1 = new QCheckBox(u"&Не выводить это окно"_s, this);
    Check1->setObjectName(u"Check1"_s);
    CheckSpelling = new QCheckBox(u"Проверять &орфографию"_s, this);
    CheckSpelling->setObjectName(u"CheckSpelling"_s);
    Command1 = new QPushButton(u"&Принять"_s, this);
    Command1->setObjectName(u"Command1"_s);
    Command1->setDefault(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Frame1);
    layout->addWidget(Check1);
    layout->addWidget(CheckSpelling);
    layout->addWidget(Command1, 0, Qt::AlignRight);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    connect(Command1, &QPushButton::clicked, this, &CommForm::Command1_Click);
    Form_Load();
}

void CommForm::Form_Load() {
    const QString& mode = m_ctx.options.comment_type;
    // Any other stored mode selects nothing.
    Option1->setAutoExclusive(false);
    Option2->setAutoExclusive(false);
    Option3->setAutoExclusive(false);
    Option1->setChecked(mode == u"cit"_s);
    Option2->setChecked(mode == u"name"_s);
    Option3->setChecked(mode == u"no"_s);
    for (QRadioButton* option : {Option1, Option2, Option3}) {
        option->setAutoExclusive(true);
    }
    Check1->setChecked(m_ctx.options.veiw_setcomm);
    CheckSpelling->setChecked(m_ctx.options.spell_check);
}

void CommForm::Command1_Click() {
    QString mode = u"no"_s;
    if (Option1->isChecked()) {
        mode = u"cit"_s;
    }
    if (Option2->isChecked()) {
        mode = u"name"_s;
    }
    m_ctx.options.veiw_setcomm = Check1->isChecked();
    m_ctx.options.spell_check = CheckSpelling->isChecked();
    m_ctx.options.comment_type = mode;
    OptionsStore(m_ctx.userStore).save(m_ctx.options);
    accept(); // hides the window
}

} // namespace orv
