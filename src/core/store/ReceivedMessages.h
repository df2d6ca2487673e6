#pragma once

#include <QString>
#include <vector>

namespace orv {

class Database;

struct ReceivedPost {
    QString message, header, date, userName, postId, journalId;
};

struct ReceivedComment {
    QString message, header, date, userName, postId, commentId, journalId;
};

struct ReceivedPrivate {
    QString message, date, userName;
};

// Stores what the service delivered: a message already stored is overwritten,
// a new one added. Dates come in the service's text form. Each call is one
// transaction; a failing row throws OrvError and the rows before it stay.
class ReceivedMessages {
public:
    explicit ReceivedMessages(Database& db);

    // An overwritten post becomes unread again and keeps Sent; a new post
    // without a diary identifier is skipped.
    void savePosts(const std::vector<ReceivedPost>& posts);
    // Items dated "01.01.1970 03:00:00" are skipped; an overwritten comment
    // keeps New and becomes sent.
    void saveComments(const std::vector<ReceivedComment>& comments);
    // A message is known by its text, date and sender together.
    void savePrivates(const std::vector<ReceivedPrivate>& messages);

    static inline const QString NoDate = QStringLiteral("01.01.1970 03:00:00");

private:
    Database& m_db;
};

} // namespace orv
