#pragma once

#include <QDialog>

class QCheckBox;
class QPushButton;
class QRadioButton;

namespace orv {

struct AppContext;

// How a reply begins: with a quotation, with the author's name, or empty; and
// whether to ask before each reply.
class CommForm : public QDialog {
    Q_OBJECT

public:
    CommForm(AppContext& ctx, QWidget* parent);

    void Form_Load();
    // "Принять": stores the choice in the options.
    void Command1_Click();

    QRadioButton* Option1;
    QRadioButton* Option2;
    QRadioButton* Option3;
    QCheckBox* Check1;
    QCheckBox* CheckSpelling;
    QPushButton* Command1;

private:
    AppContext& m_ctx;
};

} // namespace orv
