#pragma once

#include <QString>

namespace orv {

// The settings stored in the iniSettings table, one member per key. Numeric
// settings other than ShowLastDays stay text and are converted where used.
struct Settings {
    QString UserName;
    QString Password;
    QString ServiceURL;
    QString MaxPost;
    QString CheckTime_Posts;
    QString CheckTime_Comments;
    QString CheckTime_Privates;
    QString CheckTime_Forums;
    QString CheckTime_Smiles;
    QString PostsToGetPerOneSession;
    QString CommentsToGetPerOneSession;
    QString PostsToSendPerOneSession;
    QString CommentsToSendPerOneSession;
    QString LASTSMILEID;
    QString TimeOffset;
    qint16 ShowLastDays = 0;
    bool ShowLastDaysRead = false; // the stored value read as a number
    bool AutoLoadComments = false;
    bool UseProxy = false;
    QString ProxyUname;
    QString ProxyPass;
    QString PostsToShow;
    bool CommentsInTree = false;
    // Pictures the messages name are fetched and kept for reading offline.
    bool LoadPictures = true;
    QString PictureCacheMB = QStringLiteral("500");

    // The scheme and host of the service, without a trailing slash.
    QString serviceAddress() const;
    // TimeOffset in whole hours: what the local clock is ahead of the
    // service's. Shown dates add it; 0 when it does not read as a number.
    int timeOffsetHours() const;

    // How many days read messages are kept: ShowLastDays, or the default 14
    // when it did not read as a number or is negative, so that a bad setting
    // never widens what the purge deletes.
    int daysToKeep() const;
    static constexpr int DefaultDaysToKeep = 14;

    // PictureCacheMB in bytes; the default 500 MB when it is not a positive
    // whole number.
    qint64 pictureCacheBytes() const;
};

} // namespace orv
