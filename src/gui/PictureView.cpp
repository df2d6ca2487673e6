#include "PictureView.h"

#include "sync/PictureCache.h"

#include <QImage>
#include <QImageReader>
#include <QMovie>

using namespace Qt::StringLiterals;

namespace orv {

PictureView::PictureView(PictureCache* pictures, QWidget* parent)
    : QTextBrowser(parent)
    , m_pictures(pictures) {
    m_reshow.setSingleShot(true);
    m_reshow.setInterval(150);
    connect(&m_reshow, &QTimer::timeout, this, [this] { reshow(); });
    if (m_pictures) {
        connect(m_pictures, &PictureCache::arrived, this, &PictureView::pictureArrived);
    }
}

QVariant PictureView::loadResource(int type, const QUrl& name) {
    if (type != QTextDocument::ImageResource) {
        return {};
    }
    const QString scheme = name.scheme().toLower();
    if (scheme == u"http"_s || scheme == u"https"_s) {
        return webPicture(name);
    }
    return localPicture(name);
}

QVariant PictureView::localPicture(const QUrl& name) {
    return QTextBrowser::loadResource(QTextDocument::ImageResource, name);
}

bool PictureView::pictureAtHand(const QString& url) {
    const QString key = QUrl(url).toString(QUrl::FullyEncoded);
    if (m_pictures && m_pictures->file(key)) {
        return true;
    }
    m_awaited.insert(key);
    return false;
}

QVariant PictureView::webPicture(const QUrl& name) {
    if (const auto movie = m_movies.constFind(name); movie != m_movies.cend()) {
        return (*movie)->currentImage();
    }
    const QString url = name.toString(QUrl::FullyEncoded);
    const auto file = m_pictures ? m_pictures->file(url) : std::nullopt;
    if (!file) {
        m_awaited.insert(url);
        return {};
    }
    QImageReader reader(*file);
    if (reader.supportsAnimation() && reader.imageCount() != 1) {
        auto* movie = new QMovie(*file, QByteArray(), this);
        if (movie->isValid()) {
            m_movies.insert(name, movie);
            connect(movie, &QMovie::frameChanged, this, [this, movie, name] {
                document()->addResource(QTextDocument::ImageResource, name, movie->currentImage());
                viewport()->update();
            });
            movie->start();
            return movie->currentImage();
        }
        delete movie;
    }
    return QImage(*file);
}

void PictureView::pictureArrived(const QString& url) {
    if (m_awaited.remove(url)) {
        m_reshow.start();
    }
}

void PictureView::forgetPictures() {
    qDeleteAll(m_movies);
    m_movies.clear();
    m_awaited.clear();
    m_reshow.stop();
}

} // namespace orv
