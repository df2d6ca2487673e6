#pragma once

#include "ResultDocument.h"
#include "app/Session.h"

namespace orv {

// Comments ("get_new_comments" and "allcomments_for-…" results) into Comments.
class CommentsDecoder {
public:
    explicit CommentsDecoder(const Session& session);

    // Columns: MESSAGE, HEADER, MESSAGEDATE, USERNAME, POSTID, COMMID,
    // JOURNALID. A service error asks whether to go on.
    std::optional<DecodedTable> DecodeComments(const QString& path);

    void SaveComments(const QString& path);

private:
    Session m_session;
};

} // namespace orv
