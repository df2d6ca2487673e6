#include "SendQueries.h"

#include "RequestDocuments.h"
#include "render/Markup.h"
#include "store/Outbox.h"
#include "store/StoredDate.h"

#include <QStringList>

using namespace Qt::StringLiterals;

namespace orv::SendQueries {
namespace {

using Kind = MessageRef::Kind;
using RequestDocuments::element;

QString opening(const OutgoingMessage& m, const QString& type) {
    return u"<query QID='"_s + qidOf(m.kind, m.key) + u"' TYPE='"_s + type + u"'>"_s;
}

// Titles and bodies go as entities, which already keep the document sound.
QString converted(const QString& name, const QString& text) {
    return u'<' + name + u'>' + Markup::Text2Entities(text) + u"</"_s + name + u'>';
}

void addOptions(QStringList& lines, const OutgoingMessage& m) {
    if (!m.attachPath.isEmpty()) {
        // The kind word and the key name the attachment; the file is not sent here.
        const QString word = m.kind == Kind::Post ? Post : Comment;
        lines.append(element(u"attachfile"_s, word + QString::number(m.key)));
    }
    if (m.parseUrl) {
        lines.append(u"<parseurl>1</parseurl>"_s);
    }
    if (m.kind == Kind::Post && m.noComment) {
        lines.append(u"<nocomment>1</nocomment>"_s);
    }
    if (m.kind == Kind::Post && m.privatePost) {
        lines.append(u"<privatepost>1</privatepost>"_s);
    }
    if (m.subscribe) {
        lines.append(u"<commentsubscribe>1</commentsubscribe>"_s);
    }
}

QStringList postLines(const OutgoingMessage& m) {
    QStringList lines = {opening(m, u"3"_s), converted(u"headerofpost"_s, m.header),
                         converted(u"message"_s, m.message),
                         element(u"messagedate"_s, StoredDate::toRussianText(m.date))};
    addOptions(lines, m);
    return lines;
}

QStringList commentLines(const OutgoingMessage& m) {
    QStringList lines = {opening(m, u"1"_s), converted(u"headerofpost"_s, m.header),
                         converted(u"message"_s, m.message),
                         element(u"messagedate"_s, StoredDate::toRussianText(m.date)),
                         element(u"jpostid"_s, m.postId)};
    addOptions(lines, m);
    return lines;
}

QStringList privateLines(const OutgoingMessage& m) {
    return {opening(m, u"4"_s), converted(u"message"_s, m.message),
            u"<headerofpost> </headerofpost>"_s, element(u"tousername"_s, m.userName),
            u"<parseurl>1</parseurl>"_s};
}

} // namespace

QString qidOf(Kind kind, qint64 key) {
    const QString word = kind == Kind::Post      ? u"post-"_s
                         : kind == Kind::Comment ? u"comment-"_s
                                                 : u"privat-"_s;
    return word + QString::number(key);
}

QString queryElement(const OutgoingMessage& message) {
    QStringList lines;
    switch (message.kind) {
    case Kind::Post:
        lines = postLines(message);
        break;
    case Kind::Comment:
        lines = commentLines(message);
        break;
    case Kind::Private:
        lines = privateLines(message);
        break;
    }
    lines.append(u"</query>"_s);
    return lines.join(u"\r\n"_s) + u"\r\n"_s;
}

QString BuildSendPostQuery(const Settings& settings, const std::vector<OutgoingMessage>& batch) {
    // Each element carries its own last line break: the envelope adds the
    // second, so an empty line follows every element.
    QStringList elements;
    for (const OutgoingMessage& message : batch) {
        elements.append(queryElement(message));
    }
    return RequestDocuments::envelope(settings, elements);
}

} // namespace orv::SendQueries
