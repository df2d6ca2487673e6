#pragma once

#include "StandinData.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QMap>
#include <QString>

namespace standin {

// One query of a request document: its QID, TYPE and child elements in order.
struct Query {
    QString qid;
    QString type;
    QList<QPair<QString, QString>> children;

    QString value(const QString& name) const;
    QStringList values(const QString& name) const;
};

struct RequestDocument {
    QString username;
    QString password;
    QString mainid;
    QList<Query> queries;
};

// Answers request documents the way the Kordenet offline endpoint does.
class StandinService {
public:
    explicit StandinService(StandinData& data);

    // Parses a request document; false with an error text when it is broken.
    static bool parse(const QByteArray& xml, RequestDocument& document, QString& error);

    // The whole answer text: the declaration and one line of results, or the
    // service's error page for a document it cannot read.
    QString answer(const QByteArray& requestXml);

    // A test switch: the query with this QID is rejected with the code.
    void reject(const QString& qid, const QString& code);

    QList<RequestDocument> documents; // every document understood, in order
    // Refuse a message stored in the last minute (63). Off, every repeat is
    // stored: what a test needs to see a message published twice.
    bool floodProtection = true;

private:
    QString result(const Query& query);
    QString newPostIds(const Query& query);
    QString newCommentIds(const Query& query);
    QString allCommentIds(const Query& query);
    QString postsById(const Query& query);
    QString commentsById(const Query& query);
    QString newPrivates(const Query& query);
    QString relations(const Query& query);
    QString newSmiles(const Query& query);
    QString sendPost(const Query& query);
    QString sendComment(const Query& query);
    QString sendPrivate(const Query& query);
    // True when the same message was stored within the last minute.
    bool isFlood(const QString& text);

    StandinData& m_data;
    QHash<QString, QDateTime> m_storedAt; // message -> when it was stored
    QMap<QString, QString> m_rejects;     // QID -> error code
};

} // namespace standin
