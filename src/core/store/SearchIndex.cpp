#include "SearchIndex.h"

#include "Database.h"
#include "Statement.h"
#include "app/Escaping.h"
#include "app/OrvError.h"

#include <QRegularExpression>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace orv {
namespace {

using Kind = MessageRef::Kind;

struct KindTables {
    QString index;    // the full-text table
    QString messages; // the table of the messages
    QString key;
    QString serviceId; // an expression over the messages as M
    QString title;     // the same
};

KindTables tablesOf(Kind kind) {
    switch (kind) {
    case Kind::Comment:
        return {u"CommentsText"_s, u"Comments"_s, u"ThisID"_s, u"M.CommentID"_s, u"M.Header"_s};
    case Kind::Private:
        return {u"PrivatesText"_s, u"PrivateMessages"_s, u"ID"_s, u"''"_s, u"''"_s};
    case Kind::Post:
        break;
    }
    return {u"PostsText"_s, u"Posts"_s, u"ThisID"_s, u"M.PostID"_s, u"M.Header"_s};
}

constexpr Kind kKinds[] = {Kind::Post, Kind::Comment, Kind::Private};

// Latin and Greek letters lose their accents: "é" is found as "e", "ό" as
// "ο", as a reader types them. Cyrillic letters keep theirs: "й" is a letter
// of its own, not "и" with a breve.
char16_t withoutAccent(char16_t c) {
    const bool accented =
        (c >= 0xc0 && c <= 0x24f) || (c >= 0x370 && c <= 0x3ff) || (c >= 0x1e00 && c <= 0x1fff);
    while (accented && QChar::decompositionTag(c) == QChar::Canonical) {
        c = QChar::decomposition(c).at(0).unicode(); // "ǖ" is "ü" and a macron: on to "u"
    }
    return c;
}

// A character of the text as the index reads it: a letter or digit in lower
// case, ё as е, anything that does not belong to a word a blank.
char16_t wordCharacter(char16_t c) {
    if (c < 0x80) {
        if (c >= u'A' && c <= u'Z') {
            return c + (u'a' - u'A');
        }
        const bool word = (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9');
        return word ? c : u' ';
    }
    if (c >= u'а' && c <= u'я') {
        return c;
    }
    if (c >= u'А' && c <= u'Я') {
        return c + (u'а' - u'А');
    }
    if (c == u'ё' || c == u'Ё') {
        return u'е';
    }
    if (!QChar::isLetterOrNumber(c) && !QChar::isMark(c)) {
        return u' ';
    }
    // Folded, not lowered: a final "ς" is found by "σ".
    return withoutAccent(char16_t(QChar::toCaseFolded(c)));
}

// The text with every character as the index reads it, in its place. The
// index's tokenizer then has only blanks to split at, which costs a fraction
// of what reading the letters of Unicode itself costs it; and as the text
// keeps its length, a stretch cut from it is found again in the author's.
QString wordsOnly(QStringView text) {
    QString out(text.size(), Qt::Uninitialized);
    QChar* to = out.data();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            const char32_t code = QChar::surrogateToUcs4(c, text[i + 1]);
            const bool word = QChar::isLetterOrNumber(code) || QChar::isMark(code);
            char32_t folded = QChar::toCaseFolded(code);
            if (!QChar::requiresSurrogates(folded)) {
                folded = code; // a folding out of its plane would move the rest
            }
            to[i] = word ? QChar(QChar::highSurrogate(folded)) : QChar(u' ');
            to[i + 1] = word ? QChar(QChar::lowSurrogate(folded)) : QChar(u' ');
            ++i;
            continue;
        }
        to[i] = QChar(wordCharacter(c.unicode()));
    }
    return out;
}

// Each pass below goes through the text once, and a search that finds no end
// for a tag ends its pass, so a body full of open tags costs no more than
// any other.

// "<...>" becomes a blank; a "<" with no ">" after it stays, and so does the rest.
QString withoutHtmlTags(QStringView text) {
    QString out;
    out.reserve(text.size());
    qsizetype from = 0;
    while (true) {
        const qsizetype open = text.indexOf(u'<', from);
        const qsizetype close = open < 0 ? -1 : text.indexOf(u'>', open + 1);
        if (close < 0) {
            break;
        }
        out += text.mid(from, open - from);
        out += u' ';
        from = close + 1;
    }
    out += text.mid(from);
    return out;
}

// Where "[user=" starts in any case, from "from" on; -1 when nowhere. A
// search for the bracket alone runs at the speed of memchr, a search in any
// case a character at a time.
qsizetype userMention(QStringView text, qsizetype from) {
    constexpr QStringView opening = u"[user=";
    for (qsizetype open = text.indexOf(u'[', from); open >= 0;
         open = text.indexOf(u'[', open + 1)) {
        if (text.mid(open).startsWith(opening, Qt::CaseInsensitive)) {
            return open;
        }
    }
    return -1;
}

// A mentioned user, "[user=name]" in any case, keeps the name between blanks.
QString withUserNames(QStringView text) {
    QString out;
    out.reserve(text.size() + 16);
    qsizetype from = 0;
    while (true) {
        const qsizetype open = userMention(text, from);
        const qsizetype close = open < 0 ? -1 : text.indexOf(u']', open + 6);
        if (close < 0) {
            break;
        }
        out += text.mid(from, open - from);
        out += u' ';
        out += text.mid(open + 6, close - open - 6);
        out += u' ';
        from = close + 1;
    }
    out += text.mid(from);
    return out;
}

bool isMarkupName(QStringView name) {
    static constexpr QStringView names[] = {u"quote", u"b",      u"i",     u"u",
                                            u"s",     u"url",    u"more",  u"img",
                                            u"code",  u"center", u"color", u"size"};
    return std::any_of(std::begin(names), std::end(names), [&](QStringView known) {
        return name.compare(known, Qt::CaseInsensitive) == 0;
    });
}

// The service's bracket markup ("[b]", "[/quote]", "[color=red]", in any
// case) becomes a blank.
QString withoutMarkupTags(QStringView text) {
    constexpr qsizetype longestName = 6;
    QString out;
    out.reserve(text.size());
    qsizetype from = 0;
    qsizetype bracket = text.indexOf(u']'); // the first "]" at or after the name's end
    for (qsizetype open = text.indexOf(u'['); open >= 0 && bracket >= 0;
         open = text.indexOf(u'[', open + 1)) {
        const qsizetype name = open + 1 + (open + 1 < text.size() && text[open + 1] == u'/');
        qsizetype end = name;
        while (end < text.size() && end - name <= longestName && text[end] != u'=' &&
               text[end] != u']') {
            ++end;
        }
        // A name of the markup ends at "=" or "]": a longer one is none.
        if (end == text.size() || !isMarkupName(text.mid(name, end - name))) {
            continue;
        }
        if (bracket < end) {
            bracket = text.indexOf(u']', end);
        }
        if (bracket < 0) {
            break; // neither this tag nor any later one is closed
        }
        out += text.mid(from, open - from);
        out += u' ';
        from = bracket + 1;
        open = bracket;
    }
    out += text.mid(from);
    return out;
}

// Runs of blanks as one, and no blanks at either end.
QString blanksCollapsed(QStringView text) {
    QString out(text.size(), Qt::Uninitialized);
    QChar* to = out.data();
    bool blank = true; // none at the start
    for (const QChar c : text) {
        if (c == u' ' || (c >= u'\t' && c <= u'\r')) {
            if (!blank) {
                *to++ = u' ';
            }
            blank = true;
            continue;
        }
        blank = false;
        *to++ = c;
    }
    if (blank && to != out.data()) {
        --to; // none at the end
    }
    out.truncate(to - out.data());
    return out;
}

// The text with its letters and combining marks composed: "e" and an acute
// as "é", which then loses its accent like any other. Most texts hold no
// combining mark, and are composed already.
QString composed(const QString& text) {
    const bool marked = std::any_of(text.cbegin(), text.cend(),
                                    [](QChar c) { return c.unicode() >= 0x300 && c.isMark(); });
    return marked ? text.normalized(QString::NormalizationForm_C) : text;
}

// What of a message is searched, as the index reads it. Punctuation at the
// ends stays, as blanks: a snippet then ends where the author's text does.
QString indexedText(const QString& text) {
    return wordsOnly(SearchIndex::authorsText(text));
}

} // namespace

SearchIndex::SearchIndex(Database& db)
    : m_db(db) {}

QString SearchIndex::authorsText(const QString& text) {
    // Most comments hold no tag, markup or entity: only the blanks to tidy.
    const bool bare = std::none_of(text.cbegin(), text.cend(),
                                   [](QChar c) { return c == u'<' || c == u'[' || c == u'&'; });
    if (bare) {
        return composed(blanksCollapsed(text));
    }
    return composed(
        blanksCollapsed(Escaping::decode(withoutMarkupTags(withUserNames(withoutHtmlTags(text))))));
}

QString SearchIndex::indexQuery(const QString& asTyped) {
    const QString typed = composed(asTyped);
    QStringList terms;
    bool lastIsWord = false; // the word being typed: found by its start too
    qsizetype i = 0;
    const auto isBlank = [&](qsizetype at) { return typed[at].isSpace(); };
    while (i < typed.size()) {
        if (isBlank(i)) {
            ++i;
            continue;
        }
        QString term;
        if (typed[i] == u'"') {
            const qsizetype close = typed.indexOf(u'"', i + 1);
            if (close < 0) {
                throw OrvError(u"В запросе не закрыта кавычка."_s);
            }
            term = typed.mid(i + 1, close - i - 1);
            i = close + 1;
            lastIsWord = false;
        } else {
            const qsizetype start = i;
            while (i < typed.size() && !isBlank(i) && typed[i] != u'"') {
                ++i;
            }
            term = typed.mid(start, i - start);
            lastIsWord = true;
        }
        const bool prefix = term.endsWith(u'*') || (i < typed.size() && typed[i] == u'*');
        if (i < typed.size() && typed[i] == u'*') {
            ++i;
        }
        term = wordsOnly(term).simplified(); // "мастер-класс" is two words in a row
        if (term.isEmpty()) {
            continue; // punctuation alone finds nothing
        }
        terms.append(u'"' + term + u'"' + (prefix ? u"*"_s : QString()));
    }
    if (terms.isEmpty()) {
        throw OrvError(u"Введите слово для поиска."_s);
    }
    if (lastIsWord && !terms.last().endsWith(u'*')) {
        terms.last().append(u'*');
    }
    return terms.join(u' ');
}

void SearchIndex::put(Kind kind, qint64 localId, const QString& author, const QString& title,
                      const QString& body) {
    std::optional<Statement>& put = m_put[int(kind)];
    if (!put) {
        put.emplace(m_db, u"INSERT OR REPLACE INTO "_s + tablesOf(kind).index +
                              u" (rowid, Author, Title, Body) VALUES (?, ?, ?, ?)"_s);
    }
    put->bind(0, localId)
        .bind(1, wordsOnly(composed(author)))
        .bind(2, indexedText(title))
        .bind(3, indexedText(body));
    put->exec();
}

void SearchIndex::reindex(Kind kind, qint64 localId) {
    const KindTables t = tablesOf(kind);
    QSqlQuery row = m_db.prepare(u"SELECT M.uName, "_s + t.title + u", M.Message FROM "_s +
                                 t.messages + u" M WHERE M."_s + t.key + u" = ?"_s);
    row.addBindValue(localId);
    Database::exec(row);
    if (!row.next()) {
        QSqlQuery forget = m_db.prepare(u"DELETE FROM "_s + t.index + u" WHERE rowid = ?"_s);
        forget.addBindValue(localId);
        Database::exec(forget);
        return;
    }
    const QString author = row.value(0).toString();
    const QString title = row.value(1).toString();
    const QString body = row.value(2).toString();
    row.finish();
    put(kind, localId, author, title, body);
}

void SearchIndex::rebuild() {
    Database::Transaction transaction(m_db, Database::Transaction::OnFailure::RollBack);
    for (const Kind kind : kKinds) {
        const KindTables t = tablesOf(kind);
        m_db.execute(u"DELETE FROM "_s + t.index);
        Statement rows(m_db, u"SELECT M."_s + t.key + u", M.uName, "_s + t.title +
                                 u", M.Message FROM "_s + t.messages + u" M"_s);
        while (rows.next()) {
            put(kind, rows.integer(0), rows.text(1), rows.text(2), rows.text(3));
        }
    }
    transaction.commit();
}

QString SearchIndex::matching(Kind kind) {
    const KindTables t = tablesOf(kind);
    return u" FROM "_s + t.index + u" JOIN "_s + t.messages + u" M ON M."_s + t.key + u" = "_s +
           t.index + u".rowid WHERE "_s + t.index + u" MATCH ? AND M.Deleted = 0"_s;
}

qint64 SearchIndex::count(const QString& typed) {
    const QString query = indexQuery(typed);
    qint64 total = 0;
    for (const Kind kind : kKinds) {
        QSqlQuery q = m_db.prepare(u"SELECT count(*)"_s + matching(kind));
        q.addBindValue(query);
        if (!q.exec() || !q.next()) {
            throw OrvError(u"Запрос не понят: "_s + typed);
        }
        total += q.value(0).toLongLong();
    }
    return total;
}

std::vector<SearchHit> SearchIndex::search(const QString& typed, int limit) {
    const QString query = indexQuery(typed);
    std::vector<SearchHit> hits;
    for (const Kind kind : kKinds) {
        // The newest first: the index walks its rows backwards and stops at
        // the limit, however common the word.
        const KindTables t = tablesOf(kind);
        QSqlQuery q = m_db.prepare(
            u"SELECT M."_s + t.key + u", "_s + t.serviceId + u", M.uName, M.Messagedate, "_s +
            t.title + u", snippet("_s + t.index + u", -1, char(2), char(3), '…', 12), M.Message"_s +
            matching(kind) + u" ORDER BY "_s + t.index + u".rowid DESC LIMIT ?"_s);
        q.addBindValue(query);
        q.addBindValue(limit);
        if (!q.exec()) {
            throw OrvError(u"Запрос не понят: "_s + typed);
        }
        while (q.next()) {
            SearchHit hit;
            hit.kind = kind;
            hit.localId = q.value(0).toLongLong();
            hit.serviceId = kind == Kind::Private ? QString() : q.value(1).toString();
            hit.author = q.value(2).toString();
            hit.date = q.value(3).toString();
            hit.title = q.value(4).toString();
            hit.snippet = authorsSnippet(
                q.value(5).toString(),
                {authorsText(q.value(6).toString()), authorsText(hit.title), composed(hit.author)});
            hits.push_back(std::move(hit));
        }
    }
    // Stored dates sort as text; the newest message first.
    std::stable_sort(hits.begin(), hits.end(),
                     [](const SearchHit& a, const SearchHit& b) { return a.date > b.date; });
    if (int(hits.size()) > limit) {
        hits.resize(size_t(limit));
    }
    return hits;
}

QString SearchIndex::authorsSnippet(const QString& snippet, const QStringList& sources) {
    // The index holds the text as it reads it, letter for letter: the same
    // stretch of the author's text is found, and the marks put back into it.
    static const QRegularExpression marks(u"[\\x{2}\\x{3}]"_s);
    static const QRegularExpression ellipses(u"^…|…$"_s);
    for (const QString& core : {snippet, QString(snippet).remove(ellipses)}) {
        const QString fragment = QString(core).remove(marks);
        for (const QString& source : sources) {
            qsizetype at = wordsOnly(source).indexOf(fragment);
            if (fragment.isEmpty() || at < 0) {
                continue;
            }
            QString restored = snippet.left(snippet.indexOf(core));
            for (const QChar c : core) {
                restored += (c == MatchStart || c == MatchEnd) ? c : source.at(at++);
            }
            return restored + snippet.mid(snippet.indexOf(core) + core.size());
        }
    }
    return snippet;
}

} // namespace orv
