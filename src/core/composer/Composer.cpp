#include "Composer.h"

#include "app/Constants.h"
#include "app/ErrorTrap.h"
#include "app/OrvError.h"
#include "render/Markup.h"
#include "store/Settings.h"
#include "store/StoredDate.h"
#include "tree/NodeKey.h"

#include <QDateTime>
#include <cmath>

using namespace Qt::StringLiterals;

namespace orv::Composer {
namespace {

using Kind = MessageRef::Kind;

const QString kEditPrefix = u"EditMessage-"_s;

QString captionLine(const QString& text, const QString& colour, const QString& caption) {
    if (text.isEmpty()) {
        return {};
    }
    return u"<div style='font-size: 8pt; color: "_s + colour + u"; font-style: italic;'>"_s +
           caption + u' ' + text + u"</div>"_s;
}

// A new post or comment without a title goes with one blank.
QString newHeader(const QString& header) {
    return header.isEmpty() ? u" "_s : header;
}

OutgoingMessage newPost(const Draft& draft, const Settings& settings, const QString& body,
                        const QString& date) {
    OutgoingMessage post;
    post.header = newHeader(draft.header);
    post.message = body;
    post.userName = settings.UserName;
    post.date = date;
    post.parseUrl = draft.parseUrl;
    post.noComment = draft.noComment;
    post.privatePost = draft.closed;
    post.subscribe = draft.subscribe;
    return post;
}

std::optional<QString> saveEdit(Outbox& outbox, const Draft& draft, const QString& body,
                                const QString& date) {
    const NodeKey node(draft.messageType.mid(kEditPrefix.size()));
    const auto ref = node.message();
    if (!ref) {
        return std::nullopt; // not a message node: nothing to store
    }
    OutgoingMessage edit;
    edit.key = ref->localId;
    edit.message = body;
    if (ref->kind == Kind::Private) {
        edit.userName = draft.recipient;
        edit.date = date;
        return outbox.updatePrivate(edit)
                   ? std::nullopt
                   : std::optional(u"AddForm.butSavePost: error updating message"_s);
    }
    edit.header = draft.header; // an emptied title stays empty
    edit.parseUrl = draft.parseUrl;
    edit.subscribe = draft.subscribe;
    edit.noComment = draft.noComment;
    edit.privatePost = draft.closed;
    const bool updated =
        ref->kind == Kind::Post ? outbox.updatePost(edit) : outbox.updateComment(edit);
    return updated ? std::nullopt
                   : std::optional(u"AddForm.butSavePost:: error updating message"_s);
}

EditDetails detailsOf(const OutgoingMessage& row) {
    EditDetails details;
    details.userName = row.userName;
    details.header = row.header;
    details.postId = row.postId;
    details.message = row.message;
    details.parseUrl = row.parseUrl;
    details.privatePost = row.privatePost;
    details.noComment = row.noComment;
    details.subscribe = row.subscribe;
    details.attachPath = row.attachPath;
    return details;
}

// The row of a message node, or nothing for any other node.
std::optional<OutgoingMessage> rowOf(Outbox& outbox, const QString& key) {
    const auto ref = NodeKey(key).message();
    return ref ? outbox.find(ref->kind, ref->localId) : std::nullopt;
}

} // namespace

QString composeBody(const Draft& draft, const Options& captions) {
    const QString music = captionLine(draft.music, captions.combo_music, captions.text_music);
    const QString mood = captionLine(draft.mood, captions.combo_nastroy, captions.text_nastroy);
    QString body;
    if (captions.OptMusUp) {
        body += music;
    }
    if (captions.OptNastUp) {
        body += mood;
    }
    if (!body.isEmpty()) {
        body += u"<br>"_s;
    }
    body += draft.body;
    if (captions.OptMusDown) {
        body += music;
    }
    if (captions.OptNastDown) {
        body += mood;
    }
    return body + PostSignature;
}

QString localSendTime(const Settings& settings) {
    const QString offset = settings.TimeOffset.trimmed();
    bool ok = true;
    const double hours = offset.isEmpty() ? 0 : offset.toDouble(&ok);
    if (!ok || !std::isfinite(hours) || std::abs(hours) > 24 * 366) {
        throw OrvError(u"Несоответствие типа"_s);
    }
    const auto whole = qint64(std::nearbyint(hours));
    return StoredDate::fromDateTime(QDateTime::currentDateTime().addSecs(-3600 * whole));
}

std::optional<QString> save(Outbox& outbox, const Settings& settings, const Options& captions,
                            const Draft& draft) {
    const QString date = localSendTime(settings);
    const QString body = composeBody(draft, captions);
    const QString kind = draft.messageType.section(u'-', 0, 0);
    if (kind == u"Post"_s && draft.isPrivate) {
        OutgoingMessage message;
        message.message = body;
        message.userName = draft.recipient;
        message.date = date;
        outbox.addPrivate(message);
    } else if (kind == u"Post"_s) {
        outbox.addPost(newPost(draft, settings, body, date));
    } else if (kind == u"Comment"_s) {
        OutgoingMessage comment = newPost(draft, settings, body, date);
        comment.postId = draft.parentPostId;
        comment.noComment = comment.privatePost = false;
        outbox.addComment(comment);
    } else if (kind == u"EditMessage"_s) {
        return saveEdit(outbox, draft, body, date);
    }
    return std::nullopt;
}

std::optional<EditDetails> DefineEditPostDetails(Outbox& outbox, const Settings& settings,
                                                 StatusLog& log, const QString& key) {
    std::optional<EditDetails> editable;
    runTrapped(log, u"Mod_DB.DefineEditPostDetails: "_s, [&] {
        const auto row = rowOf(outbox, key);
        if (!row || row->sent) {
            return;
        }
        // Posts and comments are editable by their author only.
        if (row->kind == Kind::Private || row->userName == settings.UserName) {
            editable = detailsOf(*row);
        }
    });
    return editable;
}

std::optional<EditDetails> DefineEditCommentDetails(Outbox& outbox, StatusLog& log,
                                                    const QString& key) {
    std::optional<EditDetails> repliedTo;
    runTrapped(log, u"Mod_DB.DefineEditCommentDetails: "_s, [&] {
        const auto row = rowOf(outbox, key);
        // Only what the service has can be answered: a sent post or comment.
        if (row && row->kind != Kind::Private && row->sent) {
            repliedTo = detailsOf(*row);
        }
    });
    return repliedTo;
}

QString replyText(const QString& mode, const EditDetails& repliedTo) {
    if (mode == u"cit"_s) {
        return u"[quote]<b>"_s + repliedTo.userName + u"</b>:\r\n"_s +
               Markup::Entities2Text(repliedTo.message) + u"[/quote]\r\n"_s;
    }
    if (mode == u"name"_s) {
        return u"<b>"_s + repliedTo.userName + u"</b>,\r\n"_s;
    }
    return {};
}

} // namespace orv::Composer
