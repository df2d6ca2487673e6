#pragma once

#include "store/Options.h"
#include "store/Outbox.h"

#include <QString>
#include <optional>

namespace orv {

class StatusLog;
struct Settings;

// What the message editor holds when it is saved.
struct Draft {
    // "Post", "Comment" or "EditMessage-" + the key of the node edited.
    QString messageType = QStringLiteral("Post");
    QString parentPostId; // the post a comment answers
    QString header;
    QString body; // the editor's HTML
    bool isPrivate = false;
    QString recipient;
    bool parseUrl = false;
    bool noComment = false;
    bool closed = false;
    bool subscribe = false;
    QString music;
    QString mood;
};

// The message an opening command puts into the editor.
struct EditDetails {
    QString userName;
    QString header;
    QString postId;
    QString message;
    bool parseUrl = false;
    bool privatePost = false;
    bool noComment = false;
    bool subscribe = false;
    QString attachPath;
};

// Writing offline: what the editor shows for a message, and how a draft
// becomes an outbox row.
namespace Composer {

// The stored body with the mood and music lines where the captions place
// them, "<br>" under whatever stands above the text, and the signature last.
QString composeBody(const Draft& draft, const Options& captions);

// Now, minus the TimeOffset setting in whole hours, as stored. Throws
// OrvError when the setting is no number.
QString localSendTime(const Settings& settings);

// Writes the draft: a new post, private message or comment, or the edit of
// an unsent one. Returns the line to log when the edited row is gone (then
// nothing is written). Throws OrvError when the store fails; each write is
// one transaction, so nothing is half-written.
std::optional<QString> save(Outbox& outbox, const Settings& settings, const Options& captions,
                            const Draft& draft);

// The unsent message behind a node, when the user may edit it: a post or
// comment of their own, or a private message. Errors are logged with
// "Mod_DB.DefineEditPostDetails: ".
std::optional<EditDetails> DefineEditPostDetails(Outbox& outbox, const Settings& settings,
                                                 StatusLog& log, const QString& key);

// The sent post or comment behind a node, which a reply answers; the post
// identifier is that of the post also for a comment. Errors are logged with
// "Mod_DB.DefineEditCommentDetails: ".
std::optional<EditDetails> DefineEditCommentDetails(Outbox& outbox, StatusLog& log,
                                                    const QString& key);

// The beginning of a reply by the mode ("cit", "name" or "no").
QString replyText(const QString& mode, const EditDetails& repliedTo);

} // namespace Composer
} // namespace orv
