#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace orv {

struct AppContext;

// The automatic checks: on or off, what they receive, their interval, and
// whether they notify; and whether the program starts in the notification
// area. "Сохранить" stores the choice in the options.
class SetUpdForm : public QDialog {
    Q_OBJECT

public:
    SetUpdForm(AppContext& ctx, QWidget* mainWindow);

    void Form_Load();
    // Stores the options and hides the window; refuses an interval that is
    // not a whole number of minutes from 1 to 1440.
    void Command1_Click();

    QCheckBox* CheckUpd;
    QCheckBox* Check_post;
    QCheckBox* Check_comment;
    QCheckBox* Check_privat;
    QCheckBox* Check_friends;
    QCheckBox* Check_notify;
    QCheckBox* Check_startTray;
    QLineEdit* timeText;
    QPushButton* Command1;

    // Esc and the window's close button: the unsaved changes go.
    void reject() override;

signals:
    void saved();
    // Closed without saving: the checks go on as they were.
    void dismissed();

private:
    AppContext& m_ctx;
};

} // namespace orv
