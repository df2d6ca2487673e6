#include "GuiPrompts.h"

#include "Dialog.h"

#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>

namespace orv {

bool GuiPrompts::askYesNo(const QString& title, const QString& text) {
    return QMessageBox::question(m_parent, title, text, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

bool GuiPrompts::askYesNoOr(const QString& title, const QString& text, bool) {
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Yes | QMessageBox::No, m_parent);
    return box.exec() == QMessageBox::Yes;
}

void GuiPrompts::inform(const QString& title, const QString& text, Icon icon) {
    switch (icon) {
    case Icon::None: {
        QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, m_parent);
        box.exec();
        break;
    }
    case Icon::Information:
        QMessageBox::information(m_parent, title, text);
        break;
    case Icon::Warning:
        QMessageBox::warning(m_parent, title, text);
        break;
    case Icon::Critical:
        QMessageBox::critical(m_parent, title, text);
        break;
    }
}

void GuiPrompts::showText(const QString& caption, const QString& text) {
    Dialog dialog(caption, text, m_parent);
    dialog.exec();
}

std::optional<QString> GuiPrompts::askText(const QString& title, const QString& prompt) {
    bool accepted = false;
    const QString text =
        QInputDialog::getText(m_parent, title, prompt, QLineEdit::Normal, QString(), &accepted);
    return accepted ? std::optional(text) : std::nullopt;
}

} // namespace orv
