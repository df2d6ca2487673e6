#include "MessageView.h"

#include "app/Cp1251.h"
#include "app/ErrorTrap.h"
#include "app/OrvError.h"
#include "render/PageMarkup.h"
#include "store/Options.h"

#include <QBitmap>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QKeyEvent>
#include <QPixmap>
#include <QRegularExpression>
#include <QScrollBar>
#include <QWheelEvent>

using namespace Qt::StringLiterals;

namespace orv {
namespace {

// Local picture paths as the service's markup writes them, with backslashes.
QString localPath(const QUrl& url) {
    return QUrl::fromPercentEncoding(url.toEncoded()).replace(u'\\', u'/');
}

} // namespace

MessageView::Look MessageView::Look::of(const QPalette& palette, int zoom) {
    Look look;
    look.zoom = zoom;
    look.dark = palette.color(QPalette::Window).lightness() < 128;
    look.window = palette.color(QPalette::Window).name();
    look.base = palette.color(QPalette::Base).name();
    look.alternate = palette.color(QPalette::AlternateBase).name();
    look.mid = palette.color(QPalette::Mid).name();
    look.text = palette.color(QPalette::Text).name();
    return look;
}

namespace {

// Font sizes of the page and of what authors wrote, scaled to the zoom.
QString zoomed(const QString& html, int zoom) {
    static const QRegularExpression size(u"font-size:\\s*(\\d+(?:\\.\\d+)?)\\s*(pt|px)"_s,
                                         QRegularExpression::CaseInsensitiveOption);
    QString out;
    qsizetype from = 0;
    for (auto it = size.globalMatch(html); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        const double size = match.captured(1).toDouble();
        if (size < 3) {
            continue; // a hairline, such as the rule above a comment, stays one
        }
        const double scaled = size * zoom / 100.0;
        out += QStringView(html).mid(from, match.capturedStart() - from);
        out += u"font-size: "_s + QString::number(scaled, 'f', 1) + match.captured(2);
        from = match.capturedEnd();
    }
    return out + QStringView(html).mid(from);
}

// The page's own colours in the desktop's dark ones; authors' colours stay.
QString darkened(QString html, const MessageView::Look& look) {
    html.replace(u"bgcolor=#d4d0c8"_s, u"bgcolor="_s + look.window);
    html.replace(u"bgcolor=#FFFFFF"_s, u"bgcolor="_s + look.base);
    html.replace(u"bgcolor=#e9ecdb"_s, u"bgcolor="_s + look.alternate);
    html.replace(u"bgcolor='#e9ecdb'"_s, u"bgcolor='"_s + look.alternate + u'\'');
    html.replace(u"bgcolor=#999999"_s, u"bgcolor="_s + look.mid);
    html.replace(u"bgcolor='#999999'"_s, u"bgcolor='"_s + look.mid + u'\'');
    return html.replace(u"font-family: Verdana"_s,
                        u"color: "_s + look.text + u"; font-family: Verdana"_s);
}

} // namespace

QString MessageView::adaptedForView(QString html, const Look& look) {
    // One font for the whole body: the engine loses block layout inside an
    // inline element that spans the page.
    html.replace(PageMarkup::BodyOpen, u"<body bgcolor=#d4d0c8 "_s + PageMarkup::FontStyle + u'>');
    html.replace(PageMarkup::PageClose, u"</body></html>"_s);
    // Text after the right-aligned download date starts a block of its own.
    html.replace(PageMarkup::DownloadDateEnd + PageMarkup::InfoLineStart,
                 PageMarkup::DownloadDateEnd + u"<p style='margin:0'>"_s +
                     PageMarkup::InfoLineStart);
    // A browser moves a line break between table rows out of the table.
    html.replace(PageMarkup::CommentRowBreak, u"</tr><tr>"_s);
    // A rule after a table is drawn as a stub; a one-line table reads the same.
    html.replace(PageMarkup::CommentRule, u"<table width=100% cellspacing=0 cellpadding=0 "
                                          u"style=\"margin-top:8px\"><tr><td bgcolor=#a0a0a0 "
                                          u"style=\"font-size:1px\"> </td></tr></table>"_s);
    if (look.dark) {
        html = darkened(html, look);
    }
    return look.zoom == 100 ? html : zoomed(html, look.zoom);
}

MessageView::MessageView(StatusLog& log, PictureCache* pictures, QWidget* parent)
    : PictureView(pictures, parent)
    , m_log(log)
    , m_openExternally([](const QUrl& url) { return QDesktopServices::openUrl(url); }) {
    setObjectName(u"Browser"_s);
    setOpenLinks(false);
    setOpenExternalLinks(false);
    connect(this, &QTextBrowser::anchorClicked, this, &MessageView::Browser_BeforeNavigate2);
}

void MessageView::showPage(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw OrvError(u"Файл не найден: "_s + path);
    }
    forgetPictures();
    document()->setBaseUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath() + u'/'));
    m_shownPage = Cp1251::decode(file.readAll());
    showText(m_shownPage);
}

void MessageView::showText(const QString& page) {
    if (const qreal points = QWidget::font().pointSizeF(); points > 0) {
        QFont font = document()->defaultFont();
        font.setPointSizeF(points * m_zoom / 100.0);
        document()->setDefaultFont(font); // what <font size=N> is relative to
    }
    setHtml(adaptedForView(page, Look::of(palette(), m_zoom)));
}

void MessageView::reshow() {
    if (m_shownPage.isEmpty()) {
        return;
    }
    const int place = verticalScrollBar()->value();
    showText(m_shownPage);
    verticalScrollBar()->setValue(place);
}

void MessageView::refreshPage(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || Cp1251::decode(file.readAll()) == m_shownPage) {
        return;
    }
    file.close();
    const int place = verticalScrollBar()->value();
    showPage(path);
    verticalScrollBar()->setValue(place);
}

void MessageView::showBlank() {
    forgetPictures();
    m_shownPage.clear();
    clear();
}

void MessageView::setZoom(int percent) {
    percent = std::clamp(percent, Options::MinZoom, Options::MaxZoom);
    if (percent == m_zoom) {
        return;
    }
    const double place = verticalScrollBar()->maximum() > 0
                             ? double(verticalScrollBar()->value()) / verticalScrollBar()->maximum()
                             : 0.0;
    m_zoom = percent;
    reshow();
    verticalScrollBar()->setValue(int(place * verticalScrollBar()->maximum()));
    emit zoomChanged(m_zoom);
}

void MessageView::keyPressEvent(QKeyEvent* event) {
    const auto modifiers = event->modifiers() & ~Qt::KeypadModifier;
    if (event->key() == Qt::Key_Space &&
        (modifiers == Qt::NoModifier || modifiers == Qt::ShiftModifier)) {
        QScrollBar* bar = verticalScrollBar();
        if (modifiers == Qt::ShiftModifier) {
            bar->triggerAction(QAbstractSlider::SliderPageStepSub);
        } else if (bar->value() >= bar->maximum()) {
            emit endReached();
        } else {
            bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
        }
        return;
    }
    PictureView::keyPressEvent(event);
}

void MessageView::wheelEvent(QWheelEvent* event) {
    if (event->modifiers() & Qt::ControlModifier) {
        const int steps = event->angleDelta().y() / 120;
        if (steps != 0) {
            setZoom(m_zoom + steps * ZoomStep);
        }
        event->accept();
        return;
    }
    PictureView::wheelEvent(event);
}

void MessageView::changeEvent(QEvent* event) {
    PictureView::changeEvent(event);
    if (event->type() == QEvent::PaletteChange) {
        reshow(); // a desktop turned dark or light
    }
}

QVariant MessageView::localPicture(const QUrl& name) {
    QString path;
    if (name.scheme().isEmpty()) {
        path = document()->baseUrl().resolved(QUrl(localPath(name))).toLocalFile();
    } else if (name.isLocalFile()) {
        path = QUrl(localPath(name)).toLocalFile(); // already resolved against the page
    } else {
        return {}; // nothing else is fetched
    }
    // The pages name the program's own pictures in an img/ folder beside the
    // working folder's tmp/; they are the built-in ones, whatever that holds.
    QPixmap picture(u":/orv/img/"_s + QFileInfo(path).fileName());
    if (picture.isNull()) {
        picture = QPixmap(QDir::cleanPath(path));
    }
    if (picture.isNull()) {
        return {};
    }
    picture.setMask(picture.createMaskFromColor(QColor(255, 0, 255)));
    return picture.toImage();
}

void MessageView::Browser_BeforeNavigate2(const QUrl& url) {
    runTrapped(m_log, u"MainForm.Browser_BeforeNavigate2: "_s, [&] {
        const QString scheme = url.scheme().toLower();
        if (scheme == u"http"_s || scheme == u"https"_s || scheme == u"mailto"_s) {
            if (!m_openExternally(url)) {
                throw OrvError(u"не удалось открыть ссылку "_s + url.toString());
            }
            return; // the view keeps its page
        }
        if (url.isRelative() && url.hasFragment() && url.path().isEmpty()) {
            scrollToAnchor(url.fragment());
            return;
        }
        if (url.toString() == u"about:blank"_s) {
            showBlank();
            return;
        }
        const QUrl target = url.isRelative() ? document()->baseUrl().resolved(url) : url;
        // Only pages of the program's own folder: a link in a message must not
        // open the user's files.
        const QString pages = document()->baseUrl().toLocalFile();
        const QString file = QDir::cleanPath(target.toLocalFile());
        if (target.isLocalFile() && !pages.isEmpty() && file.startsWith(pages)) {
            showPage(file);
        }
    });
}

} // namespace orv
