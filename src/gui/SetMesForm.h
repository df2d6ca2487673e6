#pragma once

#include "store/Options.h"

#include <QDialog>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace orv {

struct AppContext;

// The captions of the music and mood lines a save adds to a message: their
// text, colour and place. Not modal. Its controls are the live copy of these
// options: a save reads them through captions(), also before "Применить";
// closing the window only hides it.
class SetMesForm : public QDialog {
    Q_OBJECT

public:
    SetMesForm(AppContext& ctx, QWidget* mainWindow);

    // The colours of both lists, in list order.
    static const QStringList& colourNames();

    // The options in memory with the eight captions as the controls hold them now.
    Options captions() const;

    // "Применить": stores the eight captions in the per-user store, takes them
    // into the options in memory and hides the window.
    void Command1_Click();

    QGroupBox* Frame1;
    QRadioButton* OptMusUp;
    QRadioButton* OptMusDown;
    QLabel* Label2;
    QComboBox* ComboMusic;
    QLabel* Label1;
    QLineEdit* TextMusic;

    QGroupBox* Frame2;
    QRadioButton* OptNastUp;
    QRadioButton* OptNastDown;
    QLabel* Label4;
    QComboBox* ComboNastroy;
    QLabel* Label3;
    QLineEdit* TextNastroy;

    QPushButton* Command1;

private:
    void buildWidgets();
    void Form_Load();

    AppContext& m_ctx;
};

} // namespace orv
