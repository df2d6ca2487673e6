#pragma once

#include "PictureView.h"

#include <functional>

namespace orv {

class StatusLog;

// The view of the selected item. It shows the generated page file, its web
// pictures from the picture store: a web link opens in the desktop's browser
// and the view keeps its page; local and "about:" targets stay in the view.
// Ctrl with the wheel zooms it (the window's commands zoom it from the keys);
// Space and Shift+Space page through it, and Space at its end asks for the
// next new item.
class MessageView : public PictureView {
    Q_OBJECT

public:
    using ExternalOpener = std::function<bool(const QUrl&)>;

    MessageView(StatusLog& log, PictureCache* pictures = nullptr, QWidget* parent = nullptr);

    // Shows a page written in Windows-1251; its relative links and pictures
    // resolve against the page's folder.
    void showPage(const QString& path);
    // Shows the page again when the file now holds another page than the one
    // shown, keeping the place the reader scrolled to; nothing when it holds
    // the same.
    void refreshPage(const QString& path);
    // about:blank
    void showBlank();

    // How the shown copy of a page looks: its zoom, and the desktop's colours
    // when the desktop is dark (a light one keeps the page's own).
    struct Look {
        int zoom = 100;
        bool dark = false;
        QString window, base, alternate, mid, text;
        static Look of(const QPalette& palette, int zoom);
    };
    // The pages are written for a web browser. The view's rich-text engine
    // reads a few of their constructs differently, so the copy it shows (never
    // the page file) is adjusted where it would otherwise look wrong, and
    // takes the look.
    static QString adaptedForView(QString html, const Look& look);

    static constexpr int ZoomStep = 10;
    int zoom() const { return m_zoom; }
    void setZoom(int percent);

    // Tests catch the links that would leave the program.
    void setExternalOpener(ExternalOpener opener) { m_openExternally = std::move(opener); }

    void Browser_BeforeNavigate2(const QUrl& url);

signals:
    void zoomChanged(int percent);
    // Space at the end of the page.
    void endReached();

protected:
    QVariant localPicture(const QUrl& name) override;
    void reshow() override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void showText(const QString& page);

    // The page text as the file held it when it was shown.
    QString m_shownPage;
    StatusLog& m_log;
    ExternalOpener m_openExternally;
    int m_zoom = 100;
};

} // namespace orv
