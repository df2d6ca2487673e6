#include "EditorState.h"

#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace orv {
namespace {

const QString kFormat = u"orv-editor-1"_s;

QJsonValue placeValue(const std::optional<Composer::CaptionPlace>& place) {
    if (!place) {
        return QJsonValue::Null;
    }
    return QJsonObject{{u"above"_s, place->above}, {u"below"_s, place->below}};
}

std::optional<Composer::CaptionPlace> placeOf(const QJsonValue& value) {
    if (!value.isObject()) {
        return std::nullopt;
    }
    const QJsonObject o = value.toObject();
    return Composer::CaptionPlace{o[u"above"_s].toBool(), o[u"below"_s].toBool()};
}

} // namespace

QString EditorState::toText() const {
    const QJsonObject o{
        {u"format"_s, kFormat},
        {u"kind"_s, draft.messageType},
        {u"parentPostId"_s, draft.parentPostId},
        {u"header"_s, draft.header},
        {u"body"_s, draft.body},
        {u"private"_s, draft.isPrivate},
        {u"recipient"_s, draft.recipient},
        {u"parseUrl"_s, draft.parseUrl},
        {u"noComment"_s, draft.noComment},
        {u"closed"_s, draft.closed},
        {u"subscribe"_s, draft.subscribe},
        {u"music"_s, draft.music},
        {u"mood"_s, draft.mood},
        {u"caption"_s, caption},
        {u"inSource"_s, inSource},
        {u"musicPlace"_s, placeValue(musicPlace)},
        {u"moodPlace"_s, placeValue(moodPlace)},
    };
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

std::optional<EditorState> EditorState::fromText(const QString& text) {
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8());
    const QJsonObject o = document.object();
    const QString kind = o[u"kind"_s].toString();
    if (o[u"format"_s].toString() != kFormat ||
        !(kind == u"Post"_s || kind == u"Comment"_s || kind.startsWith(u"EditMessage-"_s))) {
        return std::nullopt;
    }
    EditorState state;
    Draft& d = state.draft;
    d.messageType = kind;
    d.parentPostId = o[u"parentPostId"_s].toString();
    d.header = o[u"header"_s].toString();
    d.body = o[u"body"_s].toString();
    d.isPrivate = o[u"private"_s].toBool();
    d.recipient = o[u"recipient"_s].toString();
    d.parseUrl = o[u"parseUrl"_s].toBool();
    d.noComment = o[u"noComment"_s].toBool();
    d.closed = o[u"closed"_s].toBool();
    d.subscribe = o[u"subscribe"_s].toBool();
    d.music = o[u"music"_s].toString();
    d.mood = o[u"mood"_s].toString();
    state.caption = o[u"caption"_s].toString();
    state.inSource = o[u"inSource"_s].toBool();
    state.musicPlace = placeOf(o[u"musicPlace"_s]);
    state.moodPlace = placeOf(o[u"moodPlace"_s]);
    return state;
}

} // namespace orv
