#pragma once

#include "MessageRef.h"
#include "Statement.h"

#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace orv {

class Database;

// One message a search found.
struct SearchHit {
    MessageRef::Kind kind = MessageRef::Kind::Post;
    qint64 localId = 0;
    QString serviceId; // PostID or CommentID; empty for a private message
    QString author;
    QString date; // as stored
    QString title;
    // The author's text around the match, the match between MatchStart and
    // MatchEnd.
    QString snippet;
};

// The full-text index of the stored messages: author, title and the body's
// plain text of every post, comment and private message. The store writes it
// together with the messages; deleting a message removes it by trigger.
// Letter case does not count, nor does ё against е. All calls throw OrvError.
class SearchIndex {
public:
    static constexpr QChar MatchStart = QChar(0x02);
    static constexpr QChar MatchEnd = QChar(0x03);

    explicit SearchIndex(Database& db);

    // What of a body is searched, as the author wrote it: tags and markup
    // out, entities decoded, runs of blanks as one, combining marks composed.
    static QString authorsText(const QString& text);

    // A typed query as the index reads it: words (a trailing * for a
    // prefix; the last word is always one, as it may be still being typed)
    // and phrases in double quotes. Throws OrvError with words for
    // the user when it cannot be read.
    static QString indexQuery(const QString& typed);

    // Indexes a message anew. An instance prepares its statements once, so
    // one serves a whole batch.
    void put(MessageRef::Kind kind, qint64 localId, const QString& author, const QString& title,
             const QString& body);
    // Indexes the stored message anew, as it is now; forgets it when gone.
    void reindex(MessageRef::Kind kind, qint64 localId);
    // Indexes every stored message, forgetting what was indexed before.
    void rebuild();

    // The newest hits first, messages marked deleted left out.
    std::vector<SearchHit> search(const QString& typed, int limit = 100);
    // How many messages the search finds in all, beyond any limit.
    qint64 count(const QString& typed);

    // The index's snippet in the author's words: taken from the first source
    // that holds the same stretch as the index reads it.
    static QString authorsSnippet(const QString& snippet, const QStringList& sources);

private:
    // The FROM and WHERE of a search of one kind; the query is bound.
    static QString matching(MessageRef::Kind kind);

    Database& m_db;
    std::optional<Statement> m_put[3]; // prepared once an instance, a kind each
};

} // namespace orv
