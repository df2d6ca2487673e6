#include "AddForm.h"

#include "AppContext.h"
#include "EditorHtml.h"
#include "SpellHighlighter.h"
#include "app/Constants.h"
#include "app/ErrorTrap.h"
#include "app/UserPrompts.h"
#include "store/Drafts.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QColorDialog>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QShortcut>
#include <QStackedWidget>
#include <QStyle>
#include <QTabBar>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace orv {
namespace {

const QStringList kFonts = {u"Verdana"_s,   u"Times New Roman"_s, u"Georgia"_s,      u"Arial"_s,
                            u"Helvetica"_s, u"Tahoma"_s,          u"Comic Sans MS"_s};
const QString kGeometryKey = u"windows/AddForm"_s;
// A draft is written at most this long after a change.
constexpr int kDraftDelayMs = 5000;

// The colour dialog starts where the user left it, for the whole run of the
// program; its custom colours start almost white.
QColor s_lastColour = Qt::black;

std::optional<QColor> askColour(QWidget* owner, const QColor& initial) {
    static const bool customColoursSet = [] {
        for (int i = 0; i < QColorDialog::customCount(); ++i) {
            QColorDialog::setCustomColor(i, QColor(254, 254, 254));
        }
        return true;
    }();
    Q_UNUSED(customColoursSet);
    const QColor colour = QColorDialog::getColor(initial, owner, u"Палитра"_s);
    return colour.isValid() ? std::optional(colour) : std::nullopt;
}

QToolButton* toolButton(QWidget* parent, const QString& name, const QString& text,
                        const QString& tip) {
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setText(text);
    button->setToolTip(tip);
    button->setAutoRaise(true);
    return button;
}

} // namespace

AddForm::AddForm(AppContext& ctx, QWidget* mainWindow)
    : QWidget(mainWindow, Qt::Window)
    , m_ctx(ctx) {
    setObjectName(u"AddForm"_s);
    setAttribute(Qt::WA_DeleteOnClose);
    chooseColour = [this](const QColor& initial) { return askColour(this, initial); };
    buildWidgets();
    buildShortcuts();
    Form_Load();
    watchForChanges();
    if (!restoreGeometry(m_ctx.userStore.value(kGeometryKey).toByteArray())) {
        resize(640, 560);
    }
}

AddForm::~AddForm() = default;

void AddForm::buildWidgets() {
    HeadText = new QLineEdit(this);
    HeadText->setObjectName(u"HeadText"_s);
    Check1 = new QCheckBox(u"Личное сообщение (приват)"_s, this);
    Check1->setObjectName(u"Check1"_s);
    AdresatBox = new QComboBox(this);
    AdresatBox->setObjectName(u"AdresatBox"_s);
    AdresatBox->setEditable(true);
    AdresatBox->setMinimumContentsLength(16);
    ChBox_ParseURL = new QCheckBox(u"Преобразовывать URL в ссылки"_s, this);
    ChBox_ParseURL->setObjectName(u"ChBox_ParseURL"_s);
    ChBox_NoComment = new QCheckBox(u"Запретить комментирование сообщения"_s, this);
    ChBox_NoComment->setObjectName(u"ChBox_NoComment"_s);
    ChBox_Closed = new QCheckBox(u"\"Закрытое\" сообщение"_s, this);
    ChBox_Closed->setObjectName(u"ChBox_Closed"_s);
    ChBox_Subscribe = new QCheckBox(u"Автоподписка на комментарии"_s, this);
    ChBox_Subscribe->setObjectName(u"ChBox_Subscribe"_s);
    Text_nast = new QLineEdit(this);
    Text_nast->setObjectName(u"Text_nast"_s);
    Text_music = new QLineEdit(this);
    Text_music->setObjectName(u"Text_music"_s);
    butMusic = toolButton(this, u"butMusic"_s, u"обновить"_s, u"Взять название из плеера"_s);
    LabParentPostID = new QLabel(this);
    LabParentPostID->setObjectName(u"LabParentPostID"_s);
    LabParentPostID->hide();

    TabStrip = new QTabBar(this);
    TabStrip->setObjectName(u"TabStrip"_s);
    TabStrip->addTab(u"Исходный текст"_s);
    TabStrip->addTab(u"Результат"_s);
    TabStrip->setExpanding(false);
    BodyText = new QTextEdit(this);
    BodyText->setObjectName(u"BodyText"_s);
    BodyText->setAcceptRichText(true);
    txtSrcCode = new QPlainTextEdit(this);
    txtSrcCode->setObjectName(u"txtSrcCode"_s);
    auto* views = new QStackedWidget(this);
    views->setObjectName(u"views"_s);
    views->addWidget(txtSrcCode); // one place for both views
    views->addWidget(BodyText);

    ButSave = new QPushButton(u"&Сохранить"_s, this);
    ButSave->setObjectName(u"ButSave"_s);
    ButSave->setToolTip(u"Сохранить в исходящие (Ctrl+S)"_s);
    ButExit = new QPushButton(u"В&ыход"_s, this);
    ButExit->setObjectName(u"ButExit"_s);

    auto* fields = new QFormLayout;
    auto* title = new QLabel(u"&Заголовок:"_s, this);
    title->setBuddy(HeadText);
    fields->addRow(title, HeadText);
    auto* addressee = new QHBoxLayout;
    addressee->addWidget(Check1);
    addressee->addWidget(AdresatBox, 1);
    fields->addRow(addressee);
    auto* options = new QGridLayout;
    options->addWidget(ChBox_ParseURL, 0, 0);
    options->addWidget(ChBox_NoComment, 0, 1);
    options->addWidget(ChBox_Closed, 1, 0);
    options->addWidget(ChBox_Subscribe, 1, 1);
    fields->addRow(options);
    auto* lines = new QHBoxLayout;
    auto* Label2 = new QLabel(u"&Настрой"_s, this);
    Label2->setObjectName(u"Label2"_s);
    Label2->setBuddy(Text_nast);
    auto* Label1 = new QLabel(u"В &колонках:"_s, this);
    Label1->setObjectName(u"Label1"_s);
    Label1->setBuddy(Text_music);
    lines->addWidget(Label2);
    lines->addWidget(Text_nast, 1);
    lines->addSpacing(12);
    lines->addWidget(Label1);
    lines->addWidget(Text_music, 1);
    lines->addWidget(butMusic);
    fields->addRow(lines);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ButSave);
    buttons->addWidget(ButExit);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addWidget(buildFormattingRow());
    layout->addWidget(TabStrip);
    layout->addWidget(views, 1); // the body takes the spare room
    layout->addLayout(buttons);
    layout->addWidget(LabParentPostID);

    connect(Check1, &QCheckBox::toggled, AdresatBox, &QWidget::setEnabled);
    connect(TabStrip, &QTabBar::tabBarClicked, this,
            [this](int index) { TabStrip_Click(index + 1); });
    connect(butMusic, &QToolButton::clicked, this, &AddForm::takePlayerTitle);
    connect(ButSave, &QPushButton::clicked, this, &AddForm::ButSave_Click);
    connect(ButExit, &QPushButton::clicked, this, &QWidget::close);
    // Tab moves between the fields, as everywhere else in the window.
    BodyText->setTabChangesFocus(true);
    txtSrcCode->setTabChangesFocus(true);
    txtSrcCode->installEventFilter(this);
    BodyText->installEventFilter(this);
    for (QWidget* view : std::initializer_list<QWidget*>{txtSrcCode, BodyText}) {
        view->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(view, &QWidget::customContextMenuRequested, this, [this, view](const QPoint& at) {
            std::unique_ptr<QMenu> menu(contextMenu(view, at));
            menu->exec(qobject_cast<QAbstractScrollArea*>(view)->viewport()->mapToGlobal(at));
        });
    }
}

void AddForm::checkSpelling(std::shared_ptr<SpellChecker> checker) {
    delete m_sourceSpelling;
    delete m_resultSpelling;
    if (!checker) {
        return;
    }
    m_sourceSpelling = new SpellHighlighter(txtSrcCode->document(), checker);
    m_resultSpelling = new SpellHighlighter(BodyText->document(), checker);
    for (SpellHighlighter* spelling : {m_sourceSpelling.get(), m_resultSpelling.get()}) {
        connect(spelling, &SpellHighlighter::wordAccepted, this, [this] {
            m_sourceSpelling->rehighlight();
            m_resultSpelling->rehighlight();
        });
    }
}

QMenu* AddForm::contextMenu(QWidget* view, const QPoint& place) {
    const bool source = view == txtSrcCode;
    QMenu* menu = source ? txtSrcCode->createStandardContextMenu(place)
                         : BodyText->createStandardContextMenu(place);
    SpellHighlighter* spelling = source ? m_sourceSpelling : m_resultSpelling;
    if (!spelling) {
        return menu;
    }
    const QTextCursor at =
        source ? txtSrcCode->cursorForPosition(place) : BodyText->cursorForPosition(place);
    if (const auto word = spelling->misspeltAt(at)) {
        spelling->offerFixes(*menu, *word, [this](const QString& failure) {
            m_ctx.log.LogFailure(u"AddForm.AddToDictionary: "_s + failure);
        });
    }
    return menu;
}

QWidget* AddForm::buildFormattingRow() {
    auto* row = new QWidget(this);
    butBold = toolButton(row, u"butBold"_s, u"Ж"_s, u"Жирный"_s);
    QFont bold = butBold->font();
    bold.setBold(true);
    butBold->setFont(bold);
    butItalic = toolButton(row, u"butItalic"_s, u"К"_s, u"Курсив"_s);
    QFont italic = butItalic->font();
    italic.setItalic(true);
    butItalic->setFont(italic);
    butUnderline = toolButton(row, u"butUnderline"_s, u"Ч"_s, u"Подчеркивание"_s);
    QFont underline = butUnderline->font();
    underline.setUnderline(true);
    butUnderline->setFont(underline);
    butURL = toolButton(row, u"butURL"_s, u"URL"_s, u"Ссылка"_s);
    butShowColorDialog = toolButton(row, u"butShowColorDialog"_s, QString(), u"Палитра"_s);
    QPixmap swatch(16, 16);
    swatch.fill(Qt::red);
    butShowColorDialog->setIcon(QIcon(swatch));
    cmbFont = new QComboBox(row);
    cmbFont->setObjectName(u"cmbFont"_s);
    cmbFont->setToolTip(u"Гарнитура шрифта"_s);
    cmbFontSize = new QComboBox(row);
    cmbFontSize->setObjectName(u"cmbFontSize"_s);
    cmbFontSize->setToolTip(u"Размер"_s);
    butInsertUser = toolButton(row, u"butInsertUser"_s, QString(), u"Имена друзей / ПЧ"_s);
    butInsertUser->setIcon(style()->standardIcon(QStyle::SP_DirHomeIcon));
    Command1 = new QPushButton(u"Смайлы"_s, row);
    Command1->setObjectName(u"Command1"_s);

    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    for (QWidget* w : std::initializer_list<QWidget*>{butBold, butItalic, butUnderline, butURL,
                                                      butShowColorDialog, cmbFont, cmbFontSize,
                                                      butInsertUser, Command1}) {
        layout->addWidget(w);
    }
    layout->addStretch(1);

    connect(butBold, &QToolButton::clicked, this, &AddForm::butBold_Click);
    connect(butItalic, &QToolButton::clicked, this, &AddForm::butItalic_Click);
    connect(butUnderline, &QToolButton::clicked, this, &AddForm::butUnderline_Click);
    connect(butURL, &QToolButton::clicked, this, &AddForm::butURL_Click);
    connect(butShowColorDialog, &QToolButton::clicked, this, &AddForm::butShowColorDialog_Click);
    connect(cmbFont, &QComboBox::activated, this, &AddForm::cmbFont_Click);
    connect(cmbFontSize, &QComboBox::activated, this, &AddForm::cmbFontSize_Click);
    connect(butInsertUser, &QToolButton::clicked, this, &AddForm::butInsertUser_Click);
    connect(Command1, &QPushButton::clicked, this, &AddForm::Command1_Click);
    return row;
}

void AddForm::buildShortcuts() {
    const auto shortcut = [this](const QKeySequence& keys, void (AddForm::*action)()) {
        connect(new QShortcut(keys, this), &QShortcut::activated, this, action);
    };
    shortcut(QKeySequence::Save, &AddForm::ButSave_Click);
    shortcut(QKeySequence::Bold, &AddForm::butBold_Click);
    shortcut(QKeySequence::Italic, &AddForm::butItalic_Click);
    shortcut(QKeySequence::Underline, &AddForm::butUnderline_Click);
    shortcut(QKeySequence(Qt::CTRL | Qt::Key_K), &AddForm::butURL_Click);
    connect(new QShortcut(QKeySequence::Cancel, this), &QShortcut::activated, this,
            &QWidget::close);
}

void AddForm::Form_Load() {
    m_hold = true;
    setWindowTitle(windowCaption());
    cmbFont->clear();
    cmbFont->addItems(kFonts);
    cmbFontSize->clear();
    for (int size = 1; size <= 7; ++size) {
        cmbFontSize->addItem(QString::number(size));
    }
    cmbFontSize->setCurrentIndex(2);
    BodyText->clear();
    TabStrip->setCurrentIndex(0); // the source view shows first
    qobject_cast<QStackedWidget*>(txtSrcCode->parentWidget())->setCurrentWidget(txtSrcCode);
    setFormattingEnabled(false);
    m_currentTab = 1;
    AdresatBox->setEnabled(false);
}

QString AddForm::windowCaption() const {
    return VersionTag + u" :: "_s +
           (m_answered.isEmpty() ? u"редактирование сообщения"_s : m_answered);
}

void AddForm::setAnswered(const QString& description) {
    m_answered = description;
    setWindowTitle(windowCaption());
}

void AddForm::Form_Activate() {
    setWindowTitle(windowCaption());
    // Coming back from a dialog keeps what the user typed into the music box.
    if (!m_playerAsked) {
        m_playerAsked = true;
        if (Text_music->text().isEmpty()) {
            takePlayerTitle();
        }
    }
    if (m_hold) {
        TabStrip_Click(2);
    }
}

void AddForm::takePlayerTitle() {
    const QString title = nowPlaying ? nowPlaying() : QString();
    if (!title.isEmpty()) {
        Text_music->setText(title);
    }
}

void AddForm::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::ActivationChange) {
        return;
    }
    if (isActiveWindow()) {
        Form_Activate();
    } else {
        keepDraft(); // the user may not come back: a dialog, another program
    }
}

void AddForm::TabStrip_Click(int tab) {
    if (tab == m_currentTab) {
        return;
    }
    runTrapped(m_ctx.log, u"AddForm.TabStrip_Click: "_s, [&] {
        auto* views = qobject_cast<QStackedWidget*>(txtSrcCode->parentWidget());
        m_copying = true;
        if (tab == 1) {
            txtSrcCode->setPlainText(bodyHtml());
            m_hold = false;
            views->setCurrentWidget(txtSrcCode);
        } else {
            setResultHtml(txtSrcCode->toPlainText());
            views->setCurrentWidget(BodyText);
        }
        m_copying = false;
        setFormattingEnabled(tab == 2);
        TabStrip->setCurrentIndex(tab - 1);
        m_currentTab = tab;
    });
}

bool AddForm::eventFilter(QObject* watched, QEvent* event) {
    // Once the user has seen the source, leaving either view brings the other
    // up to date.
    if (event->type() == QEvent::FocusOut && !m_hold && !m_copying) {
        m_copying = true;
        if (watched == txtSrcCode) {
            setResultHtml(txtSrcCode->toPlainText());
        } else if (watched == BodyText) {
            txtSrcCode->setPlainText(bodyHtml());
        }
        m_copying = false;
    }
    return QWidget::eventFilter(watched, event);
}

void AddForm::setResultHtml(const QString& html) {
    BodyText->setHtml(html);
}

QString AddForm::bodyHtml() const {
    return EditorHtml::bodyOf(*BodyText->document());
}

void AddForm::setFormattingEnabled(bool enabled) {
    for (QWidget* w :
         std::initializer_list<QWidget*>{butBold, butInsertUser, butItalic, butShowColorDialog,
                                         butUnderline, butURL, cmbFont, cmbFontSize}) {
        w->setEnabled(enabled);
    }
}

bool AddForm::IsRangeSelected() {
    mRange = BodyText->textCursor();
    return mRange.hasSelection();
}

void AddForm::applyToRange(const QTextCharFormat& format) {
    mRange.mergeCharFormat(format);
    BodyText->setTextCursor(mRange);
}

void AddForm::butBold_Click() {
    if (!IsRangeSelected()) {
        return;
    }
    QTextCharFormat format;
    format.setFontWeight(mRange.charFormat().fontWeight() >= QFont::Bold ? QFont::Normal
                                                                         : QFont::Bold);
    applyToRange(format);
}

void AddForm::butItalic_Click() {
    if (!IsRangeSelected()) {
        return;
    }
    QTextCharFormat format;
    format.setFontItalic(!mRange.charFormat().fontItalic());
    applyToRange(format);
}

void AddForm::butUnderline_Click() {
    if (!IsRangeSelected()) {
        return;
    }
    QTextCharFormat format;
    format.setFontUnderline(!mRange.charFormat().fontUnderline());
    applyToRange(format);
}

void AddForm::cmbFont_Click() {
    if (!IsRangeSelected()) {
        return;
    }
    QTextCharFormat format;
    format.setFontFamilies(QStringList{cmbFont->currentText()});
    applyToRange(format);
}

void AddForm::cmbFontSize_Click() {
    if (!IsRangeSelected()) {
        return;
    }
    QTextCharFormat format;
    EditorHtml::setFontSize(format, cmbFontSize->currentText().toInt());
    applyToRange(format);
}

void AddForm::butShowColorDialog_Click() {
    if (!IsRangeSelected()) {
        return;
    }
    runTrapped(m_ctx.log, u"AddForm.butShowColorDialog_Click: "_s, [&] {
        const auto colour = chooseColour(s_lastColour);
        if (!colour) {
            return; // cancelled: the selection keeps its colour
        }
        s_lastColour = *colour;
        QTextCharFormat format;
        format.setForeground(QColor(u'#' + EditorHtml::colourText(*colour)));
        applyToRange(format);
    });
}

void AddForm::butURL_Click() {
    mRange = BodyText->textCursor();
    const QTextCursor range = mRange;
    const auto address =
        m_ctx.prompts.askText(u"Добавление ссылки"_s, u"Введите полный адрес ссылки"_s);
    if (!address || address->trimmed().isEmpty()) {
        return;
    }
    mRange = range;
    QTextCharFormat format;
    format.setAnchor(true);
    format.setAnchorHref(address->trimmed());
    format.setForeground(palette().link());
    format.setFontUnderline(true);
    if (!mRange.hasSelection()) {
        mRange.insertText(address->trimmed(), format); // the address itself is the link text
        return;
    }
    applyToRange(format);
}

void AddForm::butInsertUser_Click() {
    if (IsRangeSelected()) {
        mRange.insertText(u"[user="_s + mRange.selectedText() + u']');
        return;
    }
    emit userNameRequested();
}

void AddForm::pasteUserTag(const QString& name) {
    mRange = BodyText->textCursor();
    mRange.insertText(u"[user="_s + name + u']');
}

void AddForm::appendToBody(const QString& text) {
    if (m_currentTab == 1) {
        txtSrcCode->moveCursor(QTextCursor::End);
        txtSrcCode->insertPlainText(text);
        return;
    }
    QTextCursor end(BodyText->document());
    end.movePosition(QTextCursor::End);
    end.insertText(text);
}

void AddForm::Command1_Click() {
    emit smileysRequested();
}

void AddForm::writeNewPost() {
    m_comment = false;
    m_editedKey.reset();
}

void AddForm::writeComment() {
    m_comment = true;
    m_editedKey.reset();
}

void AddForm::editMessage(const QString& nodeKey) {
    m_comment = false;
    m_editedKey = nodeKey;
}

void AddForm::takeStoredBody(const QString& body) {
    m_stored = Composer::splitCaptions(body, captions ? captions() : m_ctx.options);
    txtSrcCode->setPlainText(m_stored.text);
    Text_music->setText(m_stored.music);
    Text_nast->setText(m_stored.mood);
}

Draft AddForm::draft() const {
    Draft d;
    if (m_editedKey) {
        d.messageType = u"EditMessage-"_s + *m_editedKey;
    } else {
        d.messageType = m_comment ? u"Comment"_s : u"Post"_s;
    }
    d.parentPostId = LabParentPostID->text();
    d.header = HeadText->text();
    d.body = bodyHtml();
    d.isPrivate = Check1->isChecked();
    d.recipient = AdresatBox->currentText().trimmed();
    d.parseUrl = ChBox_ParseURL->isChecked();
    d.noComment = ChBox_NoComment->isChecked();
    d.closed = ChBox_Closed->isChecked();
    d.subscribe = ChBox_Subscribe->isChecked();
    d.music = Text_music->text();
    d.mood = Text_nast->text();
    return d;
}

QString AddForm::refusal() const {
    if (HeadText->text().trimmed().isEmpty() && BodyText->toPlainText().trimmed().isEmpty()) {
        return u"Сообщение пустое"_s;
    }
    if (Check1->isChecked() && !m_comment && !m_editedKey &&
        AdresatBox->currentText().trimmed().isEmpty()) {
        return u"Укажите адресата"_s;
    }
    return {};
}

void AddForm::ButSave_Click() {
    TabStrip_Click(2); // a text still in the source view reaches the result view
    if (const QString problem = refusal(); !problem.isEmpty()) {
        m_ctx.prompts.inform(VersionTag, problem, UserPrompts::Icon::Warning);
        return;
    }
    const Options used = Composer::placedAsFound(captions ? captions() : m_ctx.options, m_stored);
    std::optional<QString> failure;
    const bool written = runTrapped(m_ctx.log, u"AddFormButSave_Click: "_s, [&] {
        Outbox outbox(m_ctx.db);
        failure = Composer::save(outbox, m_ctx.settings, used, draft());
    });
    if (!written) {
        return; // the editor keeps the text; nothing was stored
    }
    if (failure) {
        m_ctx.log.LogStatus(*failure);
    }
    m_saved = true;
    emit saved();
    close(); // drops the draft
}

void AddForm::markPristine() {
    m_pristine = HeadText->text() + u'\n' + txtSrcCode->toPlainText();
}

bool AddForm::changedSinceOpened() const {
    const QString body = m_currentTab == 1 ? txtSrcCode->toPlainText() : bodyHtml();
    const QString now = HeadText->text() + u'\n' + body;
    if (now == m_pristine) {
        return false;
    }
    // The result view writes the opening text in its own way: compare alike.
    QTextDocument opened;
    opened.setHtml(m_pristine.section(u'\n', 1));
    return HeadText->text() != m_pristine.section(u'\n', 0, 0) ||
           body != EditorHtml::bodyOf(opened);
}

void AddForm::closeEvent(QCloseEvent* event) {
    if (!m_saved && changedSinceOpened() &&
        !m_ctx.prompts.askYesNo(VersionTag, u"Закрыть без сохранения?"_s)) {
        event->ignore();
        return;
    }
    m_ctx.userStore.setValue(kGeometryKey, saveGeometry());
    discardDraft();
    event->accept();
}

void AddForm::watchForChanges() {
    m_draftTimer = new QTimer(this);
    m_draftTimer->setSingleShot(true);
    m_draftTimer->setInterval(kDraftDelayMs);
    connect(m_draftTimer, &QTimer::timeout, this, &AddForm::keepDraft);
    const auto changed = [this] { noteChange(); };
    for (QLineEdit* line : {HeadText, Text_nast, Text_music}) {
        connect(line, &QLineEdit::textChanged, this, changed);
    }
    for (QCheckBox* box :
         {Check1, ChBox_ParseURL, ChBox_NoComment, ChBox_Closed, ChBox_Subscribe}) {
        connect(box, &QCheckBox::toggled, this, changed);
    }
    connect(AdresatBox, &QComboBox::currentTextChanged, this, changed);
    connect(txtSrcCode, &QPlainTextEdit::textChanged, this, changed);
    connect(BodyText, &QTextEdit::textChanged, this, changed);
}

void AddForm::noteChange() {
    m_draftDirty = true;
    // Not restarted by later changes: steady typing is kept every few seconds.
    if (!m_draftTimer->isActive()) {
        m_draftTimer->start();
    }
}

QString AddForm::typedBody() const {
    return m_currentTab == 1 ? txtSrcCode->toPlainText() : bodyHtml();
}

EditorState AddForm::state() const {
    EditorState state;
    state.draft = draft();
    state.draft.body = typedBody();
    state.caption = m_answered;
    state.inSource = m_currentTab == 1 && !m_hold;
    state.musicPlace = m_stored.musicPlace;
    state.moodPlace = m_stored.moodPlace;
    return state;
}

void AddForm::restore(const EditorState& state) {
    const Draft& d = state.draft;
    const QString kind = d.messageType.section(u'-', 0, 0);
    m_comment = kind == u"Comment"_s;
    m_editedKey.reset();
    if (kind == u"EditMessage"_s) {
        m_editedKey = d.messageType.section(u'-', 1);
    }
    LabParentPostID->setText(d.parentPostId);
    HeadText->setText(d.header);
    HeadText->setEnabled(!m_comment);
    Check1->setChecked(d.isPrivate);
    AdresatBox->setEditText(d.recipient);
    AdresatBox->setEnabled(d.isPrivate);
    ChBox_ParseURL->setChecked(d.parseUrl);
    ChBox_NoComment->setChecked(d.noComment);
    ChBox_Closed->setChecked(d.closed);
    ChBox_Subscribe->setChecked(d.subscribe);
    Text_music->setText(d.music);
    Text_nast->setText(d.mood);
    m_playerAsked = true; // the music box holds what was typed
    m_stored.musicPlace = state.musicPlace;
    m_stored.moodPlace = state.moodPlace;
    setAnswered(state.caption);
    txtSrcCode->setPlainText(d.body);
    if (state.inSource) {
        // The source stays as typed; the result view follows it.
        setResultHtml(d.body);
        m_hold = false;
    }
}

void AddForm::keepDraft() {
    m_draftTimer->stop();
    if (!m_draftDirty || m_saved) {
        return;
    }
    m_draftDirty = false;
    if (!changedSinceOpened()) {
        return;
    }
    try {
        Drafts(m_ctx.db).keep(state().toText());
        m_draftFailing = false;
    } catch (const OrvError& error) {
        m_draftDirty = true; // tried again after the next change
        if (!m_draftFailing) {
            m_draftFailing = true;
            m_ctx.log.LogFailure(u"AddForm.KeepDraft: "_s + error.text());
        }
    }
}

void AddForm::discardDraft() {
    m_draftTimer->stop();
    m_draftDirty = false;
    runTrapped(m_ctx.log, u"AddForm.DiscardDraft: "_s, [&] { Drafts(m_ctx.db).discard(); });
}

} // namespace orv
