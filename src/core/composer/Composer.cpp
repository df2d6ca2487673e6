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

const QString kLineStart = u"<div style='font-size: 8pt; color: "_s;
const QString kLineStyleEnd = u"; font-style: italic;'>"_s;
const QString kLineEnd = u"</div>"_s;
const QString kUnderAbove = u"<br>"_s;

QString captionLine(const QString& text, const QString& colour, const QString& caption) {
    if (text.isEmpty()) {
        return {};
    }
    return kLineStart + colour + kLineStyleEnd + caption + u' ' + text + kLineEnd;
}

// The text of a caption line of the given caption that starts at `from`, and
// the position after it; nothing when no such line starts there.
std::optional<std::pair<QString, qsizetype>> lineAt(const QString& body, qsizetype from,
                                                    const QString& caption) {
    if (!QStringView(body).mid(from).startsWith(kLineStart)) {
        return std::nullopt;
    }
    const qsizetype colourEnd = body.indexOf(kLineStyleEnd, from + kLineStart.size());
    const qsizetype contentStart = colourEnd + kLineStyleEnd.size();
    if (colourEnd < 0 || QStringView(body)
                             .mid(from + kLineStart.size(), colourEnd - from - kLineStart.size())
                             .contains(u'\'')) {
        return std::nullopt;
    }
    const QString prefix = caption + u' ';
    const qsizetype end = body.indexOf(kLineEnd, contentStart);
    if (end < 0 || !QStringView(body).mid(contentStart, end - contentStart).startsWith(prefix)) {
        return std::nullopt;
    }
    const QString text = body.mid(contentStart + prefix.size(), end - contentStart - prefix.size());
    if (text.isEmpty()) {
        return std::nullopt; // an empty field writes no line
    }
    return std::pair(text, end + kLineEnd.size());
}

// The start of the caption line of the given caption that ends the body, and
// its text; nothing when the body does not end with one.
std::optional<std::pair<QString, qsizetype>> lineEnding(const QString& body,
                                                        const QString& caption) {
    if (!body.endsWith(kLineEnd)) {
        return std::nullopt;
    }
    const qsizetype start = body.lastIndexOf(kLineStart);
    if (start < 0) {
        return std::nullopt;
    }
    const auto line = lineAt(body, start, caption);
    if (!line || line->second != body.size()) {
        return std::nullopt;
    }
    return std::pair(line->first, start);
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

// Selected text keeps its line breaks in the editor's HTML.
QString linesAsBreaks(QString text) {
    for (const QChar separator :
         {QChar(QChar::ParagraphSeparator), QChar(QChar::LineSeparator), QChar(u'\n')}) {
        text.replace(separator, u"<br>"_s);
    }
    return text;
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

SplitBody splitCaptions(const QString& body, const Options& captions) {
    SplitBody split;
    QString text = QString(body).remove(PostSignature);

    // Above the text: the music line, then the mood line, then "<br>".
    qsizetype pos = 0;
    const auto musicAbove = lineAt(text, pos, captions.text_music);
    if (musicAbove) {
        pos = musicAbove->second;
    }
    const auto moodAbove = lineAt(text, pos, captions.text_nastroy);
    if (moodAbove) {
        pos = moodAbove->second;
    }
    const bool above =
        (musicAbove || moodAbove) && QStringView(text).mid(pos).startsWith(kUnderAbove);
    if (above) {
        text.remove(0, pos + kUnderAbove.size());
        if (musicAbove) {
            split.music = musicAbove->first;
            split.musicPlace = CaptionPlace{true, false};
        }
        if (moodAbove) {
            split.mood = moodAbove->first;
            split.moodPlace = CaptionPlace{true, false};
        }
    }

    // Below the text: the music line, then the mood line, last of all.
    if (const auto mood = lineEnding(text, captions.text_nastroy)) {
        text.truncate(mood->second);
        if (!split.moodPlace) {
            split.mood = mood->first;
            split.moodPlace = CaptionPlace{};
        }
        split.moodPlace->below = true;
    }
    if (const auto music = lineEnding(text, captions.text_music)) {
        text.truncate(music->second);
        if (!split.musicPlace) {
            split.music = music->first;
            split.musicPlace = CaptionPlace{};
        }
        split.musicPlace->below = true;
    }
    split.text = text;
    return split;
}

Options placedAsFound(Options captions, const SplitBody& found) {
    if (found.musicPlace) {
        captions.OptMusUp = found.musicPlace->above;
        captions.OptMusDown = found.musicPlace->below;
    }
    if (found.moodPlace) {
        captions.OptNastUp = found.moodPlace->above;
        captions.OptNastDown = found.moodPlace->below;
    }
    return captions;
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

QString replyText(const QString& mode, const EditDetails& repliedTo, const QString& selection) {
    if (mode == u"cit"_s) {
        return u"[quote]<b>"_s + repliedTo.userName + u"</b>:\r\n"_s +
               (selection.isEmpty() ? Markup::Entities2Text(repliedTo.message)
                                    : linesAsBreaks(selection)) +
               u"[/quote]\r\n"_s;
    }
    if (mode == u"name"_s) {
        return u"<b>"_s + repliedTo.userName + u"</b>,\r\n"_s;
    }
    return {};
}

QString answeredCaption(bool toComment, const QString& author, const QString& postCaption) {
    const QString post = u"«"_s + postCaption + u"»"_s;
    if (toComment) {
        return u"ответ на комментарий "_s + author + u" к посту "_s + post;
    }
    return u"ответ на пост "_s + author + u' ' + post;
}

} // namespace orv::Composer
