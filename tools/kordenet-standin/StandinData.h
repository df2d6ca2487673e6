#pragma once

#include <QDateTime>
#include <QMap>
#include <QString>
#include <QStringList>
#include <vector>

namespace standin {

struct Post {
    int id = 0;
    int journalId = 0;
    QString author;
    QString header;
    QString message; // the service's markup, entities as stored
    QDateTime date;  // service time
};

struct Comment {
    int id = 0;
    int postId = 0;
    int journalId = 0;
    QString author;
    QString header;
    QString message;
    QDateTime date;
};

struct Private {
    QString to;
    QString from;
    QString message;
    QDateTime date;
    bool read = false;
};

struct Smile {
    int id = 0;
    QString code;
    QString url;
};

// Everything the stand-in service knows: one account, the diaries it reads, and
// what was written there. Times are the service's own (Moscow) time.
class StandinData {
public:
    QString user = QStringLiteral("demo");
    QString password = QStringLiteral("demo");
    QMap<QString, int> journals; // owner -> diary identifier
    QStringList buddies;         // diaries the account reads
    QStringList readers;         // who reads the account's diary
    std::vector<Post> posts;
    std::vector<Comment> comments;
    std::vector<Private> privates;     // to the account
    std::vector<Private> sentPrivates; // written by the account
    std::vector<Smile> smiles;

    // A realistic data set: postCount posts in the account's and its friends'
    // diaries over the last week, about ten comments a post, a few private
    // messages and a smiley catalogue. The same seed gives the same data.
    void seed(int postCount, quint32 randomSeed = 20061);
    // Puts pictureCount pictures of this stand-in into the posts, a few a post
    // from the first on, in the ways authors write them.
    void seedPictures(int pictureCount);

    // Seeded addresses of the stand-in's own pictures start with this; once
    // the server listens, rehost() gives them its real address.
    static inline const QString SelfHost = QStringLiteral("http://standin.self");
    void rehost(const QString& url);

    static QDateTime now();
    static QString formatDate(const QDateTime& date);
    static QDateTime parseDate(const QString& text);

    int journalOf(const QString& owner);
    Post& addPost(const QString& author, const QString& header, const QString& message,
                  const QDateTime& date = now());
    Comment& addComment(int postId, const QString& author, const QString& message,
                        const QDateTime& date = now());
    const Post* findPost(int id) const;
    const Comment* findComment(int id) const;

private:
    int m_nextPost = 1000;
    int m_nextComment = 50000;
    int m_nextJournal = 70;
};

} // namespace standin
