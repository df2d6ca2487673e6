#pragma once

#include <QHash>
#include <QPointer>
#include <QSet>
#include <QTextBrowser>
#include <QTimer>

class QMovie;

namespace orv {

class PictureCache;

// A view of pages that shows their web pictures from the picture store, never
// from the network itself: a picture not kept yet is asked of the cache, and
// the page is shown again when it arrives. Animated pictures move.
class PictureView : public QTextBrowser {
    Q_OBJECT

public:
    explicit PictureView(PictureCache* pictures, QWidget* parent = nullptr);

    QVariant loadResource(int type, const QUrl& name) override;

    // Whether the web picture is kept; when not, it is asked for, and the
    // page is shown again once it arrives.
    bool pictureAtHand(const QString& url);
    // The animations running in the page shown.
    int movingPictures() const { return int(m_movies.size()); }

signals:
    // Pictures the page waited for are kept now (unless reshow() is overridden).
    void picturesArrived();

protected:
    // A picture of the program's own folder, or nothing; web addresses never
    // come here. By default, a file as the page names it.
    virtual QVariant localPicture(const QUrl& name);
    // Shows the page again, as it was, now that more of its pictures are kept.
    virtual void reshow() { emit picturesArrived(); }
    // A new page: the animations of the last one stop.
    void forgetPictures();

private:
    QVariant webPicture(const QUrl& name);
    void pictureArrived(const QString& url);

    QPointer<PictureCache> m_pictures;
    QHash<QUrl, QMovie*> m_movies;
    QSet<QString> m_awaited; // asked for by the page shown
    QTimer m_reshow;         // several arrivals, one new layout
};

} // namespace orv
