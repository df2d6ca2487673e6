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

// Where a caption line stood in a stored body: above the text, below it, or both.
struct CaptionPlace {
    bool above = false;
    bool below = false;
};

// A stored body taken apart again for the editor.
struct SplitBody {
    QString text; // the editor's HTML, without caption lines and signature
    QString music;
    QString mood;
    std::optional<CaptionPlace> musicPlace; // none when no music line was found
    std::optional<CaptionPlace> moodPlace;
};

// The reverse of composeBody: takes the signature off, then the music and mood
// lines from the beginning (only when "<br>" follows them) and from the end of
// the body, in the order composeBody writes them. A line is known by its
// caption text in the given captions; its colour may have changed since. A
// look-alike anywhere else in the text stays where it is.
SplitBody splitCaptions(const QString& body, const Options& captions);

// The captions with the places of the lines the split found; a caption whose
// line was not found keeps its places.
Options placedAsFound(Options captions, const SplitBody& found);

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

// The beginning of a reply by the mode ("cit", "name" or "no"). The quotation
// quotes the selection, text as the reader saw it, when one is given, and the
// whole message otherwise.
QString replyText(const QString& mode, const EditDetails& repliedTo, const QString& selection = {});

// What the editor's caption says a reply answers: "ответ на пост anna «…»" or
// "ответ на комментарий anna к посту «…»".
QString answeredCaption(bool toComment, const QString& author, const QString& postCaption);

} // namespace Composer
} // namespace orv
