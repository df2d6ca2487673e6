#pragma once

#include "ResultDocument.h"
#include "app/Session.h"

#include <functional>

namespace orv {

// Posts fetched by identifier ("get_new_posts" results) into the table Posts.
class PostsDecoder {
public:
    // Called for each received post when all its comments are to be loaded.
    using CommentLoader = std::function<void(const QString& postId)>;

    PostsDecoder(const Session& session, CommentLoader loadAllComments);

    // Columns: MESSAGE, HEADER, MESSAGEDATE, USERNAME, POSTID, JOURNALID. Each
    // post is marked received in the fetch stack. Nothing when the document
    // does not load or an item is incomplete (both logged).
    std::optional<DecodedTable> DecodePosts(const QString& path);

    void SaveFriendPosts(const QString& path);

private:
    Session m_session;
    CommentLoader m_loadAllComments;
};

} // namespace orv
