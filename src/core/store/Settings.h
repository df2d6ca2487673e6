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
    bool AutoLoadComments = false;
    bool UseProxy = false;
    QString ProxyUname;
    QString ProxyPass;
    QString PostsToShow;
    bool CommentsInTree = false;

    // The scheme and host of the service, without a trailing slash.
    QString serviceAddress() const;
};

} // namespace orv
