#include "AddUserForm.h"

#include "AppContext.h"
#include "app/ErrorTrap.h"
#include "store/AddressBook.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace orv {

AddUserForm::AddUserForm(AppContext& ctx, QWidget* editor)
    : QDialog(editor)
    , m_ctx(ctx) {
    setObjectName(u"AddUserForm"_s);
    setWindowTitle(u"Выберите имя юзера"_s);
    setModal(true);
    buildWidgets();
    Form_Load();
}

void AddUserForm::buildWidgets() {
    optSelect[1] = new QRadioButton(u"Вы&берите"_s, this);
    optSelect[1]->setObjectName(u"optSelect_1"_s);
    optSelect[0] = new QRadioButton(u"Вве&дите"_s, this);
    optSelect[0]->setObjectName(u"optSelect_0"_s);
    cmbUserList = new QComboBox(this);
    cmbUserList->setObjectName(u"cmbUserList"_s);
    cmbUserList->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cmbUserList->setMinimumContentsLength(20);
    txtUserList = new QLineEdit(this);
    txtUserList->setObjectName(u"txtUserList"_s);
    butOK = new QPushButton(u"ОК"_s, this);
    butOK->setObjectName(u"butOK"_s);
    butOK->setDefault(true);
    butCancel = new QPushButton(u"Отмена"_s, this);
    butCancel->setObjectName(u"butCancel"_s);

    auto* grid = new QGridLayout;
    grid->addWidget(optSelect[1], 0, 0);
    grid->addWidget(cmbUserList, 0, 1);
    grid->addWidget(optSelect[0], 1, 0);
    grid->addWidget(txtUserList, 1, 1);
    grid->setColumnStretch(1, 1);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(butOK, QDialogButtonBox::AcceptRole);
    buttons->addButton(butCancel, QDialogButtonBox::RejectRole);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addStretch(1);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetMinimumSize);

    setTabOrder(optSelect[1], cmbUserList);
    setTabOrder(cmbUserList, optSelect[0]);
    setTabOrder(optSelect[0], txtUserList);
    setTabOrder(txtUserList, butOK);
    setTabOrder(butOK, butCancel);

    for (int index : {0, 1}) {
        connect(optSelect[size_t(index)], &QRadioButton::toggled, this, [this, index](bool on) {
            if (on) {
                optSelect_Click(index);
            }
        });
    }
    connect(cmbUserList, &QComboBox::currentTextChanged, this, &AddUserForm::updateOkButton);
    connect(txtUserList, &QLineEdit::textChanged, this, &AddUserForm::updateOkButton);
    connect(butOK, &QPushButton::clicked, this, &AddUserForm::butOK_Click);
    connect(butCancel, &QPushButton::clicked, this, &AddUserForm::butCancel_Click);
}

void AddUserForm::Form_Load() {
    optSelect[1]->setChecked(true);
    optSelect_Click(1);
    runTrapped(m_ctx.log, u"AddUserForm.Load: "_s, [this] {
        cmbUserList->clear();
        cmbUserList->addItems(AddressBook(m_ctx.db).distinctNicks());
    });
    updateOkButton();
}

void AddUserForm::optSelect_Click(int index) {
    const bool typed = index == 0;
    txtUserList->setEnabled(typed);
    cmbUserList->setEnabled(!typed);
    (typed ? static_cast<QWidget*>(txtUserList) : cmbUserList)->setFocus();
    updateOkButton();
}

QString AddUserForm::nameInControls() const {
    const QString name =
        optSelect[0]->isChecked() ? txtUserList->text() : cmbUserList->currentText();
    return name.trimmed();
}

// A tag without a name would be pasted as "[user=]".
void AddUserForm::updateOkButton() {
    butOK->setEnabled(!nameInControls().isEmpty());
}

void AddUserForm::butOK_Click() {
    QString name;
    runTrapped(m_ctx.log, u"AddUserForm.butOK_Click: "_s, [&] { name = nameInControls(); });
    if (name.isEmpty()) {
        return;
    }
    m_chosenName = name;
    accept();
}

void AddUserForm::butCancel_Click() {
    reject();
}

} // namespace orv
