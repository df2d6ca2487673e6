#pragma once

#include <QTextBrowser>
#include <functional>

namespace orv {

class StatusLog;

// The view of the selected item. It shows the generated page file and never
// fetches anything remote: a web link opens in the desktop's browser and the
// view keeps its page; local and "about:" targets stay in the view.
class MessageView : public QTextBrowser {
    Q_OBJECT

public:
    using ExternalOpener = std::function<bool(const QUrl&)>;

    MessageView(StatusLog& log, QWidget* parent = nullptr);

    // Shows a page written in Windows-1251; its relative links and pictures
    // resolve against the page's folder.
    void showPage(const QString& path);
    // Shows the page again when the file now holds another page than the one
    // shown, keeping the place the reader scrolled to; nothing when it holds
    // the same.
    void refreshPage(const QString& path);
    // about:blank
    void showBlank();

    // The pages are written for a web browser. The view's rich-text engine
    // reads a few of their constructs differently, so the copy it shows (never
    // the page file) is adjusted where it would otherwise look wrong.
    static QString adaptedForView(QString html);

    // Tests catch the links that would leave the program.
    void setExternalOpener(ExternalOpener opener) { m_openExternally = std::move(opener); }

    QVariant loadResource(int type, const QUrl& name) override;

    void Browser_BeforeNavigate2(const QUrl& url);

private:
    // The page text as the file held it when it was shown.
    QString m_shownPage;
    StatusLog& m_log;
    ExternalOpener m_openExternally;
};

} // namespace orv
