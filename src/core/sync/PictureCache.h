#pragma once

#include <QObject>
#include <QSet>
#include <memory>
#include <optional>

namespace orv {

struct AppContext;
class PictureDownloads;

// The window's pictures: what the store keeps, and a picture it lacks
// fetched when a page shows it (when LoadPictures is on). Lives on the
// window's thread with the window's store connection.
class PictureCache : public QObject {
    Q_OBJECT

public:
    explicit PictureCache(AppContext& ctx, QObject* parent = nullptr);
    ~PictureCache() override;

    // The kept file of the picture, counted as shown now. When it is not
    // kept it is asked for, once a session, and arrived() tells when it is.
    std::optional<QString> file(const QString& url);

signals:
    void arrived(const QString& url);

private:
    PictureDownloads& downloads();

    AppContext& m_ctx;
    std::unique_ptr<PictureDownloads> m_downloads;
    QSet<QString> m_asked;
};

} // namespace orv
