#include "SetMesForm.h"

#include "AppContext.h"
#include "store/OptionsStore.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace orv {
namespace {

QComboBox* colourList(const QString& name) {
    auto* combo = new QComboBox;
    combo->setObjectName(name);
    // Editable, as a stored colour outside the list is kept as it stands.
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->addItems(SetMesForm::colourNames());
    return combo;
}

void showColour(QComboBox* combo, const QString& colour) {
    const int index = combo->findText(colour);
    if (index >= 0) {
        combo->setCurrentIndex(index);
    } else {
        combo->setEditText(colour);
    }
}

template <class W> W* named(W* widget, const QString& name) {
    widget->setObjectName(name);
    return widget;
}

// One frame: the two places, then the caption and its colour.
QGroupBox* frame(const QString& name, const QString& title, QRadioButton* up, QRadioButton* down,
                 QLabel* textLabel, QLineEdit* text, QLabel* colourLabel, QComboBox* colour) {
    auto* box = named(new QGroupBox(title), name);
    textLabel->setBuddy(text);
    colourLabel->setBuddy(colour);
    auto* fields = new QFormLayout;
    fields->addRow(textLabel, text);
    fields->addRow(colourLabel, colour);
    auto* layout = new QVBoxLayout(box);
    layout->addWidget(up);
    layout->addWidget(down);
    layout->addLayout(fields);
    layout->addStretch(1);
    return box;
}

} // namespace

const QStringList& SetMesForm::colourNames() {
    static const QStringList names{u"Aqua"_s,   u"Black"_s, u"Blue"_s,   u"Fuchsia"_s,
                                   u"Gray"_s,   u"Green"_s, u"Lime"_s,   u"Maroon"_s,
                                   u"Navy"_s,   u"Olive"_s, u"Purple"_s, u"Red"_s,
                                   u"Silver"_s, u"Teal"_s,  u"White"_s,  u"Yellow"_s};
    return names;
}

SetMesForm::SetMesForm(AppContext& ctx, QWidget* mainWindow)
    : QDialog(mainWindow)
    , m_ctx(ctx) {
    setObjectName(u"SetMesForm"_s);
    setWindowTitle(u"Настройка надписей"_s);
    setModal(false);
    buildWidgets();
    Form_Load();
}

void SetMesForm::buildWidgets() {
    OptMusUp = named(new QRadioButton(u"&Над сообщением"_s), u"OptMusUp"_s);
    OptMusDown = named(new QRadioButton(u"&Под сообщением"_s), u"OptMusDown"_s);
    Label1 = named(new QLabel(u"Н&адпись"_s), u"Label1"_s);
    TextMusic = named(new QLineEdit, u"TextMusic"_s);
    Label2 = named(new QLabel(u"&Цвет"_s), u"Label2"_s);
    ComboMusic = colourList(u"ComboMusic"_s);
    Frame1 = frame(u"Frame1"_s, u"Музыка"_s, OptMusUp, OptMusDown, Label1, TextMusic, Label2,
                   ComboMusic);

    OptNastUp = named(new QRadioButton(u"На&д сообщением"_s), u"OptNastUp"_s);
    OptNastDown = named(new QRadioButton(u"П&од сообщением"_s), u"OptNastDown"_s);
    Label3 = named(new QLabel(u"Надп&ись"_s), u"Label3"_s);
    TextNastroy = named(new QLineEdit, u"TextNastroy"_s);
    Label4 = named(new QLabel(u"Цв&ет"_s), u"Label4"_s);
    ComboNastroy = colourList(u"ComboNastroy"_s);
    Frame2 = frame(u"Frame2"_s, u"Настроение"_s, OptNastUp, OptNastDown, Label3, TextNastroy,
                   Label4, ComboNastroy);

    Command1 = named(new QPushButton(u"П&рименить"_s), u"Command1"_s);
    Command1->setDefault(true);

    auto* frames = new QHBoxLayout;
    frames->addWidget(Frame1);
    frames->addWidget(Frame2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Command1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(frames);
    layout->addStretch(1);
    layout->addLayout(buttons);

    const QList<QWidget*> tabOrder{OptMusUp,    OptMusDown,  TextMusic,    ComboMusic, OptNastUp,
                                   OptNastDown, TextNastroy, ComboNastroy, Command1};
    for (qsizetype i = 1; i < tabOrder.size(); ++i) {
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
    }

    connect(Command1, &QPushButton::clicked, this, &SetMesForm::Command1_Click);
}

void SetMesForm::Form_Load() {
    const Options& o = m_ctx.options;
    TextMusic->setText(o.text_music);
    showColour(ComboMusic, o.combo_music);
    TextNastroy->setText(o.text_nastroy);
    showColour(ComboNastroy, o.combo_nastroy);
    // Option buttons of one frame exclude each other; when both are stored as
    // set, the second one read wins.
    OptMusUp->setChecked(o.OptMusUp);
    OptMusDown->setChecked(o.OptMusDown);
    OptNastUp->setChecked(o.OptNastUp);
    OptNastDown->setChecked(o.OptNastDown);
}

Options SetMesForm::captions() const {
    Options o = m_ctx.options;
    o.text_music = TextMusic->text();
    o.combo_music = ComboMusic->currentText();
    o.text_nastroy = TextNastroy->text();
    o.combo_nastroy = ComboNastroy->currentText();
    o.OptMusUp = OptMusUp->isChecked();
    o.OptMusDown = OptMusDown->isChecked();
    o.OptNastUp = OptNastUp->isChecked();
    o.OptNastDown = OptNastDown->isChecked();
    return o;
}

void SetMesForm::Command1_Click() {
    const Options options = captions();
    OptionsStore(m_ctx.userStore).save(options);
    m_ctx.options = options;
    hide();
}

} // namespace orv
