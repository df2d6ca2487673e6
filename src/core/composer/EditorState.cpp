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

// The draft's fields and their names in the text; one list for both ways.
struct TextField {
    QStringView name;
    QString Draft::*member;
};
struct FlagField {
    QStringView name;
    bool Draft::*member;
};

const TextField kTexts[] = {
    {u"kind", &Draft::messageType},    {u"parentPostId", &Draft::parentPostId},
    {u"header", &Draft::header},       {u"body", &Draft::body},
    {u"recipient", &Draft::recipient}, {u"music", &Draft::music},
    {u"mood", &Draft::mood},
};
const FlagField kFlags[] = {
    {u"private", &Draft::isPrivate},   {u"parseUrl", &Draft::parseUrl},
    {u"noComment", &Draft::noComment}, {u"closed", &Draft::closed},
    {u"subscribe", &Draft::subscribe},
};

} // namespace

QString EditorState::toText() const {
    QJsonObject o{
        {u"format"_s, kFormat},
        {u"caption"_s, caption},
        {u"inSource"_s, inSource},
        {u"musicPlace"_s, placeValue(musicPlace)},
        {u"moodPlace"_s, placeValue(moodPlace)},
    };
    for (const TextField& field : kTexts) {
        o.insert(field.name, draft.*field.member);
    }
    for (const FlagField& field : kFlags) {
        o.insert(field.name, draft.*field.member);
    }
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

std::optional<EditorState> EditorState::fromText(const QString& text) {
    const QJsonObject o = QJsonDocument::fromJson(text.toUtf8()).object();
    const QString kind = o[u"kind"_s].toString();
    if (o[u"format"_s].toString() != kFormat ||
        !(kind == u"Post"_s || kind == u"Comment"_s || kind.startsWith(u"EditMessage-"_s))) {
        return std::nullopt;
    }
    EditorState state;
    for (const TextField& field : kTexts) {
        state.draft.*field.member = o[field.name].toString();
    }
    for (const FlagField& field : kFlags) {
        state.draft.*field.member = o[field.name].toBool();
    }
    state.caption = o[u"caption"_s].toString();
    state.inSource = o[u"inSource"_s].toBool();
    state.musicPlace = placeOf(o[u"musicPlace"_s]);
    state.moodPlace = placeOf(o[u"moodPlace"_s]);
    return state;
}

} // namespace orv
