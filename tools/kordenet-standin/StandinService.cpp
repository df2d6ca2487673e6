#include "StandinService.h"

#include <QXmlStreamReader>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace standin {
namespace {

QString escape(const QString& text) {
    QString out = text;
    out.replace(u'&', u"&amp;"_s).replace(u'<', u"&lt;"_s).replace(u'>', u"&gt;"_s);
    return out;
}

QString escapeAttribute(const QString& text) {
    return escape(text).replace(u'\'', u"&apos;"_s);
}

QString element(const QString& name, const QString& text) {
    return u'<' + name + u'>' + escape(text) + u"</"_s + name + u'>';
}

QString resultFrame(const QString& qid, const QString& error, const QString& content = {}) {
    return u"<RESULT QID='"_s + escapeAttribute(qid) + u"' ERROR='"_s + error + u"'>"_s + content +
           u"</RESULT>"_s;
}

int maxPost(const Query& query) {
    bool ok = false;
    const int n = query.value(u"maxpost"_s).trimmed().toInt(&ok);
    return ok && n > 0 ? n : 50;
}

// The newest `limit` identifiers, in ascending order, joined by blanks.
QString newestIds(std::vector<int> ids, int limit) {
    std::sort(ids.begin(), ids.end());
    if (int(ids.size()) > limit) {
        ids.erase(ids.begin(), ids.end() - limit);
    }
    QStringList texts;
    for (const int id : ids) {
        texts.append(QString::number(id));
    }
    return texts.join(u' ');
}

// The check time the client sent. Items of that very second count as new: the
// service's clock has whole seconds, so one stored just after the last check
// may carry its time.
QDateTime since(const Query& query) {
    const QDateTime date = StandinData::parseDate(query.value(u"dpost"_s));
    return date.isValid() ? date : QDateTime(QDate(1970, 1, 1), QTime(0, 0));
}

} // namespace

QString Query::value(const QString& name) const {
    for (const auto& [key, text] : children) {
        if (key == name) {
            return text;
        }
    }
    return {};
}

QStringList Query::values(const QString& name) const {
    QStringList texts;
    for (const auto& [key, text] : children) {
        if (key == name) {
            texts.append(text);
        }
    }
    return texts;
}

StandinService::StandinService(StandinData& data)
    : m_data(data) {}

bool StandinService::parse(const QByteArray& xml, RequestDocument& document, QString& error) {
    QXmlStreamReader reader(xml);
    Query* current = nullptr;
    while (!reader.atEnd()) {
        if (reader.readNext() != QXmlStreamReader::StartElement) {
            continue;
        }
        const auto name = reader.name();
        if (name == u"QUERYS"_s) {
            const auto attributes = reader.attributes();
            document.username = attributes.value(u"username"_s).toString();
            document.password = attributes.value(u"password"_s).toString();
            document.mainid = attributes.value(u"mainid"_s).toString();
        } else if (name == u"query"_s) {
            const auto attributes = reader.attributes();
            document.queries.append({attributes.value(u"QID"_s).toString(),
                                     attributes.value(u"TYPE"_s).toString(),
                                     {}});
            current = &document.queries.last();
        } else if (current) {
            const QString key = name.toString();
            current->children.append({key, reader.readElementText()});
        }
    }
    if (reader.hasError()) {
        error = reader.errorString();
        return false;
    }
    return true;
}

QString StandinService::answer(const QByteArray& requestXml) {
    RequestDocument document;
    QString error;
    if (!parse(requestXml, document, error)) {
        return u"<html><body><p>Выводим xml с ошибкой</p><p>"_s + escape(error) +
               u"</p></body></html>"_s;
    }
    documents.append(document);
    const bool authorised =
        document.username == m_data.user && document.password == m_data.password;
    QString results;
    for (const Query& query : document.queries) {
        results += authorised ? result(query) : resultFrame(query.qid, u"3"_s);
    }
    return u"<?xml version='1.0' encoding='windows-1251'?><results>"_s + results + u"</results>"_s;
}

QString StandinService::result(const Query& query) {
    if (const auto rejected = m_rejects.constFind(query.qid); rejected != m_rejects.cend()) {
        return resultFrame(query.qid, *rejected);
    }
    const int type = query.type.toInt();
    switch (type) {
    case 1:
        return sendComment(query);
    case 3:
        return sendPost(query);
    case 4:
        return sendPrivate(query);
    case 5:
        return relations(query);
    case 7:
        return newCommentIds(query);
    case 9:
        return newPostIds(query);
    case 10:
        return newPrivates(query);
    case 11:
        return newSmiles(query);
    case 12:
        return allCommentIds(query);
    case 17:
        return commentsById(query);
    case 19:
        return postsById(query);
    default:
        return resultFrame(query.qid, u"2"_s);
    }
}

QString StandinService::newPostIds(const Query& query) {
    const QDateTime after = since(query);
    std::vector<int> ids;
    for (const Post& post : m_data.posts) {
        if (post.date >= after &&
            (post.author == m_data.user || m_data.buddies.contains(post.author))) {
            ids.push_back(post.id);
        }
    }
    QString content = element(u"NOWDATE"_s, StandinData::formatDate(StandinData::now()));
    if (!ids.empty()) {
        content += element(u"ITEM"_s, newestIds(ids, maxPost(query)));
    }
    return resultFrame(query.qid, u"0"_s, content);
}

QString StandinService::newCommentIds(const Query& query) {
    const QDateTime after = since(query);
    std::vector<int> ids;
    for (const Comment& comment : m_data.comments) {
        const Post* post = m_data.findPost(comment.postId);
        if (comment.date >= after && post &&
            (post->author == m_data.user || m_data.buddies.contains(post->author))) {
            ids.push_back(comment.id);
        }
    }
    QString content = element(u"NOWDATE"_s, StandinData::formatDate(StandinData::now()));
    if (!ids.empty()) {
        content += element(u"ITEM"_s, newestIds(ids, maxPost(query)));
    }
    return resultFrame(query.qid, u"0"_s, content);
}

QString StandinService::allCommentIds(const Query& query) {
    const int postId = query.value(u"postid"_s).toInt();
    std::vector<int> ids;
    for (const Comment& comment : m_data.comments) {
        if (comment.postId == postId) {
            ids.push_back(comment.id);
        }
    }
    return resultFrame(query.qid, u"0"_s,
                       ids.empty() ? QString()
                                   : element(u"ITEM"_s, newestIds(ids, maxPost(query))));
}

QString StandinService::postsById(const Query& query) {
    QString items;
    for (const QString& id : query.values(u"id"_s)) {
        if (const Post* post = m_data.findPost(id.toInt())) {
            items += u"<ITEM>"_s + element(u"MESSAGE"_s, post->message) +
                     element(u"HEADER"_s, post->header) +
                     element(u"MESSAGEDATE"_s, StandinData::formatDate(post->date)) +
                     element(u"USERNAME"_s, post->author) +
                     element(u"POSTID"_s, QString::number(post->id)) +
                     element(u"JOURNALID"_s, QString::number(post->journalId)) + u"</ITEM>"_s;
        }
    }
    return resultFrame(query.qid, u"0"_s, items);
}

QString StandinService::commentsById(const Query& query) {
    QString items;
    for (const QString& id : query.values(u"id"_s)) {
        if (const Comment* comment = m_data.findComment(id.toInt())) {
            items += u"<ITEM>"_s + element(u"MESSAGE"_s, comment->message) +
                     element(u"HEADER"_s, comment->header) +
                     element(u"MESSAGEDATE"_s, StandinData::formatDate(comment->date)) +
                     element(u"USERNAME"_s, comment->author) +
                     element(u"POSTID"_s, QString::number(comment->postId)) +
                     element(u"COMMID"_s, QString::number(comment->id)) +
                     element(u"JOURNALID"_s, QString::number(comment->journalId)) + u"</ITEM>"_s;
        }
    }
    return resultFrame(query.qid, u"0"_s, items);
}

QString StandinService::newPrivates(const Query& query) {
    QString items;
    int left = maxPost(query);
    for (Private& message : m_data.privates) {
        if (!message.read && message.to == m_data.user && left-- > 0) {
            message.read = true;
            items += u"<ITEM>"_s + element(u"MESSAGE"_s, message.message) +
                     element(u"MESSAGEDATE"_s, StandinData::formatDate(message.date)) +
                     element(u"USERNAME"_s, message.from) + u"</ITEM>"_s;
        }
    }
    return resultFrame(query.qid, items.isEmpty() ? u"53"_s : u"0"_s, items);
}

QString StandinService::relations(const Query& query) {
    QString content;
    for (const QString& nick : m_data.buddies) {
        content += element(u"BUDDY"_s, nick);
    }
    for (const QString& nick : m_data.readers) {
        content += element(u"READER"_s, nick);
    }
    return resultFrame(query.qid, u"0"_s, content);
}

QString StandinService::newSmiles(const Query& query) {
    const int last = query.value(u"LASTSMILEID"_s).toInt();
    int highest = last;
    QString items;
    for (const Smile& smile : m_data.smiles) {
        highest = std::max(highest, smile.id);
        if (smile.id > last) {
            items +=
                u"<ITEM>"_s + element(u"MESSAGE"_s, smile.code + u' ' + smile.url) + u"</ITEM>"_s;
        }
    }
    return resultFrame(query.qid, u"0"_s,
                       element(u"LASTSMILEID"_s, QString::number(highest)) + items);
}

void StandinService::reject(const QString& qid, const QString& code) {
    m_rejects.insert(qid, code);
}

bool StandinService::isFlood(const QString& text) {
    if (!floodProtection) {
        return false;
    }
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const auto stored = m_storedAt.constFind(text);
    if (stored != m_storedAt.cend() && stored->secsTo(now) < 60) {
        return true;
    }
    m_storedAt.insert(text, now);
    return false;
}

QString StandinService::sendPost(const Query& query) {
    const QString header = query.value(u"headerofpost"_s);
    const QString message = query.value(u"message"_s);
    if (isFlood(header + u'\n' + message)) {
        return resultFrame(query.qid, u"63"_s);
    }
    const Post& post = m_data.addPost(m_data.user, header, message);
    return resultFrame(query.qid, u"0"_s,
                       u"<ITEM>"_s + element(u"POSTID"_s, QString::number(post.id)) +
                           element(u"JOURNALID"_s, QString::number(post.journalId)) +
                           element(u"MESSAGEDATE"_s, StandinData::formatDate(post.date)) +
                           u"</ITEM>"_s);
}

QString StandinService::sendComment(const Query& query) {
    const QString message = query.value(u"message"_s);
    const Post* post = m_data.findPost(query.value(u"jpostid"_s).toInt());
    if (!post) {
        return resultFrame(query.qid, u"6"_s);
    }
    if (isFlood(query.value(u"jpostid"_s) + u'\n' + message)) {
        return resultFrame(query.qid, u"63"_s);
    }
    Comment& comment = m_data.addComment(post->id, m_data.user, message);
    comment.header = query.value(u"headerofpost"_s);
    return resultFrame(query.qid, u"0"_s,
                       u"<ITEM>"_s + element(u"POSTID"_s, QString::number(comment.postId)) +
                           element(u"JOURNALID"_s, QString::number(comment.journalId)) +
                           element(u"COMMID"_s, QString::number(comment.id)) + u"</ITEM>"_s);
}

QString StandinService::sendPrivate(const Query& query) {
    const QString to = query.value(u"tousername"_s);
    const QString message = query.value(u"message"_s);
    if (!m_data.journals.contains(to)) {
        return resultFrame(query.qid, u"31"_s);
    }
    if (isFlood(to + u'\n' + message)) {
        return resultFrame(query.qid, u"63"_s);
    }
    m_data.sentPrivates.push_back({to, m_data.user, message, StandinData::now()});
    return resultFrame(query.qid, u"0"_s);
}

} // namespace standin
