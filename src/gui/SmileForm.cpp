#include "SmileForm.h"

#include "AppContext.h"
#include "PictureView.h"
#include "app/Cp1251.h"
#include "app/ErrorTrap.h"
#include "app/OrvError.h"
#include "composer/SmileyPage.h"
#include "sync/PictureCache.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QScrollBar>
#include <QShortcut>
#include <QTextBrowser>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace orv {
namespace {

const QString kLinkPrefix = u"http://"_s;

// The link a keyboard activation acts on: the one the view's cursor has
// selected, as the view itself reads it.
QString linkUnderCursor(const QTextBrowser& view) {
    QTextCursor cursor = view.textCursor();
    if (cursor.selectionStart() != cursor.position()) {
        cursor.setPosition(cursor.selectionStart());
    }
    cursor.movePosition(QTextCursor::NextCharacter);
    return cursor.charFormat().anchorHref();
}

} // namespace

bool SmileForm::pictureAtHand(const QString& src, const QString& pageFolder) {
    const QUrl url(SmileyPage::attributeText(src));
    const QString scheme = url.scheme().toLower();
    if (scheme == u"http"_s || scheme == u"https"_s) {
        return SmileBrowser->pictureAtHand(url.toString());
    }
    if (!url.scheme().isEmpty() && !url.isLocalFile()) {
        return false;
    }
    const QString path =
        url.isLocalFile() ? url.toLocalFile() : QDir(pageFolder).filePath(url.path());
    return QFileInfo(path).isFile();
}

// In the shown copy of the page (never the file) a smiley whose picture is not
// at hand shows its code.
QString SmileForm::adaptForView(const QString& html, const QString& pageFolder) {
    static const QRegularExpression smiley(
        u"<a href='http://([^']*)'><img src='([^']*)' alt='' border=0'></a>"_s);
    QString out;
    qsizetype from = 0;
    for (auto it = smiley.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        if (pictureAtHand(match.captured(2), pageFolder)) {
            continue;
        }
        out += QStringView(html).mid(from, match.capturedStart() - from);
        out += u"<a href='http://"_s + match.captured(1) + u"'>"_s + match.captured(1) + u"</a>"_s;
        from = match.capturedEnd();
    }
    return out + QStringView(html).mid(from);
}

SmileForm::SmileForm(AppContext& ctx, QWidget* editor)
    : QWidget(editor, Qt::Window)
    , m_ctx(ctx) {
    setObjectName(u"SmileForm"_s);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(u"Смайлики"_s);

    SmileBrowser = new PictureView(new PictureCache(ctx, this), this);
    SmileBrowser->setObjectName(u"SmileBrowser"_s);
    SmileBrowser->setOpenLinks(false);
    SmileBrowser->setOpenExternalLinks(false);
    SmileBrowser->viewport()->installEventFilter(this);
    SmileBrowser->installEventFilter(this);
    connect(SmileBrowser, &QTextBrowser::anchorClicked, this, &SmileForm::anchorActivated);
    connect(SmileBrowser, &PictureView::picturesArrived, this, [this] {
        runTrapped(m_ctx.log, u"Command1_Click: "_s,
                   [this] { showPage(SmileyPage::path(m_ctx.folder)); });
    });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(SmileBrowser);
    resize(160, 420);

    auto* escape = new QShortcut(Qt::Key_Escape, this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
}

void SmileForm::showCatalogue() {
    const bool shown = runTrapped(m_ctx.log, u"Command1_Click: "_s, [this] {
        SmileyPage::write(m_ctx.folder, m_ctx.db);
        showPage(SmileyPage::path(m_ctx.folder));
    });
    if (!shown) {
        close();
        return;
    }
    show();
    raise();
    activateWindow();
    SmileBrowser->setFocus();
}

void SmileForm::showPage(const QString& path) {
    QFile file(path);
    if (!file.exists()) {
        // No catalogue has been received yet.
        SmileBrowser->setPlainText(
            u"Смайлов пока нет: получите их командой «Сервер» → «Получить смайлы»."_s);
        return;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        throw OrvError(u"Не могу прочитать файл "_s + path + u" ("_s + file.errorString() + u')');
    }
    const QString folder = QFileInfo(path).absolutePath();
    SmileBrowser->document()->setBaseUrl(QUrl::fromLocalFile(folder + u'/'));
    const int place = SmileBrowser->verticalScrollBar()->value();
    SmileBrowser->setHtml(adaptForView(Cp1251::decode(file.readAll()), folder));
    SmileBrowser->verticalScrollBar()->setValue(place);
}

bool SmileForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == SmileBrowser->viewport() && event->type() == QEvent::MouseButtonRelease) {
        // The view reports a click as an address, which would not keep a code
        // such as ":)" intact; the link's own text is read here instead.
        m_pointerAnchor =
            SmileBrowser->anchorAt(static_cast<QMouseEvent*>(event)->position().toPoint());
    } else if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::KeyPress) {
        m_pointerAnchor.clear();
    }
    return QWidget::eventFilter(watched, event);
}

void SmileForm::anchorActivated() {
    // The view keeps a link's text as the page has it, references included.
    const QString href = SmileyPage::attributeText(
        m_pointerAnchor.isEmpty() ? linkUnderCursor(*SmileBrowser) : m_pointerAnchor);
    m_pointerAnchor.clear();
    // A browser navigates to a bare host with the root path, "http://:)/".
    SmileBrowser_BeforeNavigate2(href + u'/');
}

void SmileForm::SmileBrowser_BeforeNavigate2(const QString& target) {
    if (!target.startsWith(kLinkPrefix, Qt::CaseSensitive)) {
        return;
    }
    const QString code = target.mid(kLinkPrefix.size(), target.size() - kLinkPrefix.size() - 1);
    emit smileyChosen(code);
    close();
}

} // namespace orv
