#include "Dialog.h"

#include <QDialogButtonBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace orv {

Dialog::Dialog(const QString& caption, const QString& text, QWidget* parent)
    : QDialog(parent)
    , m_textBox(new QPlainTextEdit(text, this))
    , m_okButton(new QPushButton(u"OK"_s, this)) {
    setObjectName(u"Dialog"_s);
    setWindowTitle(caption);
    m_textBox->setObjectName(u"textBox"_s);
    m_textBox->setReadOnly(true);
    m_okButton->setObjectName(u"OKButton"_s);
    m_okButton->setDefault(true);
    connect(m_okButton, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(m_okButton, QDialogButtonBox::AcceptRole);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_textBox);
    layout->addWidget(buttons);
    resize(520, 360);
}

} // namespace orv
