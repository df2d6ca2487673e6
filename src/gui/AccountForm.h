#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace orv {

struct AppContext;
struct Settings;
class ExchangeController;

// The account in one window: user name, password, service address, how many
// new items to ask for at once and the time difference to the service. It
// writes the same iniSettings rows the settings list writes; the list keeps
// everything else. Shown instead of the list on the first start.
class AccountForm : public QDialog {
    Q_OBJECT

public:
    AccountForm(AppContext& ctx, ExchangeController& exchanges, QWidget* parent = nullptr);

    // The fields as they stand, over the stored settings.
    Settings edited() const;

    void ButCheck_Click();
    void ButSave_Click();

    QLineEdit* TxtUser;
    QLineEdit* TxtPassword;
    QCheckBox* ChkShowPassword;
    QLineEdit* TxtService;
    QSpinBox* SpinMaxPost;
    QSpinBox* SpinTimeOffset;
    QLabel* LblCheck; // what the last check found
    QPushButton* ButCheck;
    QPushButton* ButSave;
    QPushButton* ButCancel;

signals:
    void saved();

private:
    void buildWidgets();
    void load();

    AppContext& m_ctx;
    ExchangeController& m_exchanges;
};

} // namespace orv
