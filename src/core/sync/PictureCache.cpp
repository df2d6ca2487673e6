#include "PictureCache.h"

#include "AppContext.h"
#include "PictureDownloads.h"
#include "app/ErrorTrap.h"
#include "store/PictureStore.h"

using namespace Qt::StringLiterals;

namespace orv {

PictureCache::PictureCache(AppContext& ctx, QObject* parent)
    : QObject(parent)
    , m_ctx(ctx) {}

PictureCache::~PictureCache() = default;

PictureDownloads& PictureCache::downloads() {
    if (!m_downloads) {
        m_downloads = std::make_unique<PictureDownloads>(
            m_ctx.db, m_ctx.folder.picturesFolder(), m_ctx.log,
            PictureDownloads::Limits{m_ctx.exchangeTimeout, m_ctx.settings.pictureCacheBytes(),
                                     m_ctx.settings.UseProxy},
            m_ctx.isPicture);
        connect(m_downloads.get(), &PictureDownloads::kept, this, &PictureCache::arrived);
    }
    return *m_downloads;
}

std::optional<QString> PictureCache::file(const QString& url) {
    std::optional<QString> kept;
    runTrapped(m_ctx.log, u"PictureCache.File: "_s, [&] {
        PictureStore store(m_ctx.db, m_ctx.folder.picturesFolder());
        kept = store.keptFile(url);
        if (kept) {
            store.markShown(url);
        }
    });
    // A failed address is asked for again only by a later session.
    if (!kept && m_ctx.settings.LoadPictures && !m_asked.contains(url)) {
        m_asked.insert(url);
        downloads().fetch(url);
    }
    return kept;
}

} // namespace orv
