#pragma once

#include <QDialog>
#include <array>

class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace orv {

struct AppContext;

// Asks for the name of a user tag: picked from the friends and readers lists,
// or typed. Modal; the editor pastes "[user=" + chosenName() + "]" after an
// accept.
class AddUserForm : public QDialog {
    Q_OBJECT

public:
    AddUserForm(AppContext& ctx, QWidget* editor);

    // The name typed in txtUserList when optSelect(0) is chosen, otherwise the
    // one picked in cmbUserList. Valid after the dialog was accepted.
    QString chosenName() const { return m_chosenName; }

    void optSelect_Click(int index);
    void butOK_Click();
    void butCancel_Click();

    std::array<QRadioButton*, 2> optSelect; // 0 "Введите", 1 "Выберите"
    QComboBox* cmbUserList;
    QLineEdit* txtUserList;
    QPushButton* butOK;
    QPushButton* butCancel;

private:
    void buildWidgets();
    void Form_Load();
    QString nameInControls() const;
    void updateOkButton();

    AppContext& m_ctx;
    QString m_chosenName;
};

} // namespace orv
