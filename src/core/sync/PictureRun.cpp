#include "PictureRun.h"

#include "PictureDownloads.h"
#include "app/ErrorTrap.h"
#include "app/StatusLog.h"
#include "app/WorkingFolder.h"
#include "render/BodyFilter.h"
#include "render/PictureLinks.h"
#include "store/Settings.h"
#include "store/SmileStore.h"

#include <QEventLoop>
#include <QSet>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace orv::PictureRun {
namespace {

const QString kPrefix = u"MainForm.GetPictures: "_s;

void fetchWaiting(const Session& session, PictureStore& store) {
    const QStringList waiting = store.waiting();
    if (waiting.isEmpty() || session.cancelled()) {
        return;
    }
    session.log.LogStatus(u"Загрузка картинок..."_s);
    PictureDownloads downloads(
        session.db, store.folder(), session.log,
        {session.exchangeTimeout, session.settings.pictureCacheBytes(), session.settings.UseProxy},
        session.isPicture);
    QEventLoop loop;
    QObject::connect(&downloads, &PictureDownloads::progressed,
                     [&](int done, int total) { session.progress(done, total); });
    QObject::connect(&downloads, &PictureDownloads::finished, &loop, &QEventLoop::quit);
    QTimer cancelWatch;
    QObject::connect(&cancelWatch, &QTimer::timeout, [&] {
        if (session.cancelled()) {
            downloads.cancel();
        }
    });
    cancelWatch.start(100);
    session.progress(0, int(waiting.size()));
    for (const QString& url : waiting) {
        downloads.fetch(url);
    }
    if (downloads.busy()) {
        loop.exec();
    }
}

// The pictures the view would show of a body: those of the filtered page,
// so nothing in a comment, a script or a dropped element is fetched. Most
// bodies name none and are not parsed.
QStringList shownPictures(const QString& body) {
    if (!body.contains(u"<img"_s, Qt::CaseInsensitive)) {
        return {};
    }
    return PictureLinks::inHtml(BodyFilter::safe(body));
}

void remember(const Session& session, const QStringList& urls) {
    runTrapped(session.log, kPrefix,
               [&] { PictureStore(session.db, session.folder.picturesFolder()).want(urls); });
}

} // namespace

void fetch(const Session& session, const QStringList& urls) {
    if (!session.settings.LoadPictures) {
        return;
    }
    remember(session, urls);
    if (!session.cancelled()) {
        runTrapped(session.log, kPrefix, [&] {
            PictureStore store(session.db, session.folder.picturesFolder());
            fetchWaiting(session, store);
        });
    }
}

void rememberNamedSince(const Session& session, const PictureStore::Mark& mark) {
    if (!session.settings.LoadPictures) {
        return;
    }
    QStringList urls;
    runTrapped(session.log, kPrefix, [&] {
        QSet<QString> seen;
        const auto add = [&](const QString& url) {
            if (PictureLinks::fetchable(url) && !seen.contains(url)) {
                seen.insert(url);
                urls.append(url);
            }
        };
        PictureStore(session.db, session.folder.picturesFolder())
            .forEachBodySince(mark, [&](const QString& body, const QString& attachment) {
                for (const QString& url : shownPictures(body)) {
                    add(url);
                }
                add(attachment);
            });
        for (const Smiley& smiley : SmileStore(session.db).all()) {
            add(smiley.url);
        }
    });
    remember(session, urls);
}

} // namespace orv::PictureRun
