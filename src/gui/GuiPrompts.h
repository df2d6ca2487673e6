#pragma once

#include "app/UserPrompts.h"

#include <QPointer>
#include <QWidget>

namespace orv {

// Asks the user with message boxes over the main window.
class GuiPrompts : public UserPrompts {
public:
    void setParentWindow(QWidget* window) { m_parent = window; }

    bool askYesNo(const QString& title, const QString& text) override;
    // A box without an icon, as for the decision on a rejected message.
    bool askYesNoOr(const QString& title, const QString& text, bool unanswered) override;
    void inform(const QString& title, const QString& text, Icon icon) override;
    void showText(const QString& caption, const QString& text) override;
    std::optional<QString> askText(const QString& title, const QString& prompt) override;

private:
    QPointer<QWidget> m_parent;
};

} // namespace orv
