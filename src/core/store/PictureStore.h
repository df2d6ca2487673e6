#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

namespace orv {

class Database;

// Pictures kept for reading offline: each one's bytes in a file of the
// working folder's pictures/ (named by a hash of its address), and a row in
// Pictures with its size, when it was last shown and how often fetching it
// failed. Addresses a message names are remembered first ("wanted") and
// fetched later, so a run cut short fetches them the next time.
class PictureStore {
public:
    PictureStore(Database& db, QString folder);

    // An address failed this many runs: it is not tried again by a run (a
    // page showing it still asks for it).
    static constexpr int MaxMisses = 5;

    const QString& folder() const { return m_folder; }
    // Where the picture of the address is kept, or would be.
    QString pathFor(const QString& url) const;

    // Remembers addresses to fetch; known ones stay as they are.
    void want(const QStringList& urls);
    // Wanted addresses not kept yet, the oldest first.
    QStringList waiting();
    // The fetched file becomes the kept picture of the address (moved into
    // place), shown "now" as far as the cache is concerned. Throws OrvError.
    void keep(const QString& url, const QString& fetchedFile);
    // A fetch failed. True the first time, so that it is logged once.
    bool missed(const QString& url);
    // The file of a kept picture; nothing when it is not kept (or its file
    // is gone).
    std::optional<QString> keptFile(const QString& url);
    void markShown(const QString& url);

    // Bytes of all kept pictures.
    qint64 keptBytes();
    // Deletes the least recently shown pictures until the rest take no more
    // than capBytes. Returns how many went.
    int evict(qint64 capBytes);

    // Where stored messages name pictures: the highest local identifiers of
    // posts and comments, taken before a run stores anything.
    struct Mark {
        qint64 post = 0;
        qint64 comment = 0;
    };
    Mark mark();
    // The body and attachment address of every post and comment received
    // after the mark that names a picture ("<img" in any case) or has an
    // attachment.
    using BodyVisitor = std::function<void(const QString& body, const QString& attachment)>;
    void forEachBodySince(const Mark& mark, const BodyVisitor& visit);

private:
    Database& m_db;
    QString m_folder;
};

} // namespace orv
