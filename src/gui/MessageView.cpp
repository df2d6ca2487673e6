#include "MessageView.h"

#include "app/Cp1251.h"
#include "app/ErrorTrap.h"
#include "app/OrvError.h"
#include "render/PageMarkup.h"

#include <QBitmap>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPixmap>
#include <QScrollBar>

using namespace Qt::StringLiterals;

namespace orv {
namespace {

// Local picture paths as the service's markup writes them, with backslashes.
QString localPath(const QUrl& url) {
    return QUrl::fromPercentEncoding(url.toEncoded()).replace(u'\\', u'/');
}

} // namespace

QString MessageView::adaptedForView(QString html) {
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
    return html;
}

MessageView::MessageView(StatusLog& log, QWidget* parent)
    : QTextBrowser(parent)
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
    document()->setBaseUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath() + u'/'));
    m_shownPage = Cp1251::decode(file.readAll());
    setHtml(adaptedForView(m_shownPage));
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
    m_shownPage.clear();
    clear();
}

QVariant MessageView::loadResource(int type, const QUrl& name) {
    if (type != QTextDocument::ImageResource) {
        return {};
    }
    QString path;
    if (name.scheme().isEmpty()) {
        path = document()->baseUrl().resolved(QUrl(localPath(name))).toLocalFile();
    } else if (name.isLocalFile()) {
        path = QUrl(localPath(name)).toLocalFile(); // already resolved against the page
    } else {
        return {}; // nothing remote is fetched
    }
    QPixmap picture(QDir::cleanPath(path));
    if (picture.isNull()) {
        // The pages name the program's own pictures in an img/ folder beside
        // the working folder's tmp/; an installed program has none there.
        picture = QPixmap(u":/orv/img/"_s + QFileInfo(path).fileName());
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
