#include "Markup.h"

#include "ShrinkingText.h"
#include "app/Cp1251.h"
#include "app/Escaping.h"

#include <QHash>
#include <algorithm>
#include <bitset>
#include <deque>
#include <map>

using namespace Qt::StringLiterals;

namespace orv::Markup {
namespace {

struct Entity {
    int code; // Windows-1251 byte
    QStringView name;
    bool encoded; // also used by Text2Entities
};

// In the order both directions apply them. The tilde and the grave accent are
// read from the service but go out as themselves: neither name is an XML
// entity, so a request holding one would be refused.
constexpr Entity kEntities[] = {
    {161, u"&iexcl;", true},  {162, u"&cent;", true},   {163, u"&pound;", true},
    {164, u"&curren;", true}, {165, u"&yen;", true},    {166, u"&brvbar;", true},
    {167, u"&sect;", true},   {168, u"&uml;", false},   {169, u"&copy;", true},
    {170, u"&ordf;", true},   {171, u"&laquo;", true},  {172, u"&not;", true},
    {173, u"&shy;", true},    {174, u"&reg;", true},    {175, u"&macr;", true},
    {176, u"&deg;", true},    {177, u"&plusmn;", true}, {178, u"&sup2;", true},
    {179, u"&sup3;", true},   {180, u"&acute;", true},  {181, u"&micro;", true},
    {182, u"&para;", true},   {183, u"&middot;", true}, {184, u"&cedil;", false},
    {185, u"&sup1;", true},   {186, u"&ordm;", true},   {187, u"&raquo;", true},
    {188, u"&frac14;", true}, {189, u"&frac12;", true}, {190, u"&frac34;", true},
    {191, u"&iquest;", true}, {34, u"&quot;", true},    {38, u"&amp;", true},
    {60, u"&lt;", true},      {62, u"&gt;", true},      {126, u"&tilde;", false},
    {96, u"&sbquo;", false},
};

QChar characterOf(int code) {
    return Cp1251::decode(QByteArray(1, char(code))).front();
}

// What Text2Entities writes for each character it converts. The table's
// replacements run one after the other, so the names put in before the
// ampersand's turn get their own ampersand escaped ("&amp;laquo;"), those
// after it do not ("&lt;"). No name holds a character of another row, so one
// pass over the text with this table gives the same result.
const QHash<char32_t, QString>& outgoingEntities() {
    static const QHash<char32_t, QString> table = [] {
        QHash<char32_t, QString> replacements;
        bool afterAmpersand = false;
        for (const Entity& entity : kEntities) {
            if (entity.code == 38) {
                afterAmpersand = true;
                replacements.insert(U'&', u"&amp;"_s);
            } else if (entity.encoded) {
                const QString name = entity.name.toString();
                replacements.insert(characterOf(entity.code).unicode(),
                                    afterAmpersand ? name : u"&amp;"_s + name.mid(1));
            }
        }
        return replacements;
    }();
    return table;
}

bool isAsciiWordCharacter(char32_t c) {
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
           c == u' ';
}

void replaceAll(QString& s, QStringView tag, QStringView with) {
    s.replace(tag.toString(), with.toString(), Qt::CaseInsensitive);
}

// Every smiley code, in table order, becomes its picture. Occurrences are
// found in one pass; a row earlier in the table keeps the text it matched,
// as when the rows replace one after the other, but a code is never matched
// inside a picture tag that an earlier row inserted.
QString replaceSmileys(const QString& s, const std::vector<Smiley>& smileys) {
    // Rows by their folded first character (one-character codes) or first two.
    QHash<char16_t, std::vector<int>> byFirst;
    QHash<quint32, std::vector<int>> byFirstTwo;
    std::bitset<65536> firsts;
    const auto fold = [](QChar c) { return c.toCaseFolded().unicode(); };
    const auto pair = [](char16_t a, char16_t b) { return (quint32(a) << 16) | b; };
    for (int row = 0; row < int(smileys.size()); ++row) {
        const QString& code = smileys[size_t(row)].code;
        if (code.isEmpty()) {
            continue;
        }
        firsts.set(fold(code[0]));
        if (code.size() == 1) {
            byFirst[fold(code[0])].push_back(row);
        } else {
            byFirstTwo[pair(fold(code[0]), fold(code[1]))].push_back(row);
        }
    }
    if (firsts.none()) {
        return s;
    }
    std::vector<std::vector<qsizetype>> occurrences(smileys.size());
    const QStringView text(s);
    const auto collect = [&](const std::vector<int>& rows, qsizetype at) {
        for (const int row : rows) {
            if (text.mid(at).startsWith(smileys[size_t(row)].code, Qt::CaseInsensitive)) {
                occurrences[size_t(row)].push_back(at);
            }
        }
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t first = fold(text[i]);
        if (!firsts.test(first)) {
            continue;
        }
        if (const auto rows = byFirst.constFind(first); rows != byFirst.cend()) {
            collect(*rows, i);
        }
        if (i + 1 < text.size()) {
            const auto rows = byFirstTwo.constFind(pair(first, fold(text[i + 1])));
            if (rows != byFirstTwo.cend()) {
                collect(*rows, i);
            }
        }
    }
    std::map<qsizetype, int> claimed; // start -> row; the claimed ranges never overlap
    const auto overlaps = [&](qsizetype start, qsizetype end) {
        auto next = claimed.lower_bound(start);
        if (next != claimed.end() && next->first < end) {
            return true;
        }
        if (next == claimed.begin()) {
            return false;
        }
        const auto previous = std::prev(next);
        return previous->first + smileys[size_t(previous->second)].code.size() > start;
    };
    for (int row = 0; row < int(smileys.size()); ++row) {
        const qsizetype length = smileys[size_t(row)].code.size();
        for (const qsizetype start : occurrences[size_t(row)]) {
            if (!overlaps(start, start + length)) {
                claimed.emplace(start, row);
            }
        }
    }
    if (claimed.empty()) {
        return s;
    }
    QString out;
    out.reserve(s.size() + qsizetype(claimed.size()) * 48);
    qsizetype from = 0;
    for (const auto& [start, row] : claimed) {
        out += text.mid(from, start - from);
        out += u"<img src='"_s + smileys[size_t(row)].url + u"' alt='' border='0'>"_s;
        from = start + smileys[size_t(row)].code.size();
    }
    out += text.mid(from);
    return out;
}

// A piece of a text to be replaced, in the text's positions.
struct Edit {
    qsizetype at;
    qsizetype length;
    QStringView with;
};

QString applied(const QString& s, std::vector<Edit> edits) {
    std::sort(edits.begin(), edits.end(), [](const Edit& a, const Edit& b) { return a.at < b.at; });
    QString out;
    out.reserve(s.size() + qsizetype(edits.size()) * 4);
    qsizetype from = 0;
    for (const Edit& edit : edits) {
        out += QStringView(s).mid(from, edit.at - from);
        out += edit.with;
        from = edit.at + edit.length;
    }
    out += QStringView(s).mid(from);
    return out;
}

// [url=address]text[/url] -> <a href='address'>text</a>
//
// Each tag found, its "[url=" becomes "<a href='", the first "]" after it
// "'>" and the first lower-case "[/url]" after that "</a>"; the search for the
// next tag goes on at the address, which may hold one. None of the replacing
// pieces holds a character of the searched ones, so every search runs over the
// text as it came, from where the search before it stopped: linear however the
// tags nest or stay open.
QString namedLinks(const QString& s) {
    std::vector<Edit> edits;
    std::deque<qsizetype> closedBrackets; // the "]" of each closer already replaced
    qsizetype bracketFrom = 0;
    qsizetype closerFrom = 0;
    qsizetype from = 0;
    while (true) {
        const qsizetype p = s.indexOf(u"[url=", from, Qt::CaseInsensitive);
        if (p < 0) {
            break;
        }
        qsizetype q = std::max(p + 5, bracketFrom);
        while ((q = s.indexOf(u']', q)) >= 0) {
            while (!closedBrackets.empty() && closedBrackets.front() < q) {
                closedBrackets.pop_front();
            }
            if (closedBrackets.empty() || closedBrackets.front() != q) {
                break;
            }
            ++q;
        }
        if (q < 0) {
            break; // left open: stays as it is, and so does every later one
        }
        edits.push_back({p, 5, u"<a href='"});
        edits.push_back({q, 1, u"'>"});
        bracketFrom = q + 1;
        const qsizetype closer = s.indexOf(u"[/url]", std::max(q + 1, closerFrom)); // exact case
        if (closer >= 0) {
            edits.push_back({closer, 6, u"</a>"});
            closedBrackets.push_back(closer + 5);
        }
        closerFrom = closer >= 0 ? closer + 6 : s.size();
        from = p + 5; // the address itself may hold a tag
    }
    return applied(s, std::move(edits));
}

// [url]address[/url] -> <a href=address>address</a>
//
// The first lower-case closer at or after the tag's own closer is cut out,
// wherever it stands; what is left of the text is searched on from the tag's
// closer. The cuts go forward, so the text is kept with a moving gap.
QString bareLinks(const QString& s) {
    ShrinkingText text(s);
    QString out;
    out.reserve(s.size());
    qsizetype from = 0;
    qsizetype exactFrom = 0;
    while (true) {
        const qsizetype p = text.indexOf(u"[url]", from, Qt::CaseInsensitive);
        if (p < 0) {
            break;
        }
        const qsizetype closer = text.indexOf(u"[/url]", p + 5, Qt::CaseInsensitive);
        if (closer < 0) {
            break; // left open: stays as text, and no later tag has a closer either
        }
        text.appendTo(out, from, p);
        QString address;
        text.appendTo(address, p + 5, closer);
        out += u"<a href="_s + address + u'>' + address + u"</a>"_s;
        // No lower-case closer stands between the tag's closer and the one cut
        // before, but for one the cut itself made of the characters around it.
        const qsizetype exact =
            text.indexOf(u"[/url]", std::max(closer, exactFrom), Qt::CaseSensitive);
        if (exact >= 0) {
            text.remove(exact, 6);
        }
        exactFrom = exact >= 0 ? exact - 5 : text.size();
        from = closer;
    }
    text.appendTo(out, from, text.size());
    return out;
}

// The first [more=...] tag goes; the text around it stays.
void cutMarker(QString& s) {
    const qsizetype p = s.indexOf(u"[more=", 0, Qt::CaseInsensitive);
    if (p < 0) {
        return;
    }
    const qsizetype q = s.indexOf(u']', p);
    if (q >= 0) {
        s.remove(p, q - p + 1);
    }
}

} // namespace

QString Entities2Text(QString text) {
    for (const Entity& entity : kEntities) {
        if (text.contains(entity.name)) {
            text.replace(entity.name.toString(), QString(characterOf(entity.code)));
        }
    }
    text.replace(u'\n', u"<br>"_s);
    return text;
}

QString Text2Entities(QString text) {
    const QHash<char32_t, QString>& entities = outgoingEntities();
    QString out;
    out.reserve(text.size() + text.size() / 8);
    const QStringView units(text);
    for (qsizetype i = 0; i < units.size();) {
        // A character: one unit, or a surrogate pair; a lone surrogate reads
        // as the replacement character.
        char32_t cp = units[i].unicode();
        qsizetype width = 1;
        if (QChar::isSurrogate(cp)) {
            const bool paired =
                QChar::isHighSurrogate(cp) && i + 1 < units.size() && units[i + 1].isLowSurrogate();
            cp = paired ? QChar::surrogateToUcs4(units[i], units[i + 1]) : char32_t(0xFFFD);
            width = paired ? 2 : 1;
        }
        const QStringView character = units.mid(i, width);
        i += width;
        if (isAsciiWordCharacter(cp)) {
            out += character; // no entity stands for a letter, digit or blank of ASCII
        } else if (const auto entity = entities.constFind(cp); entity != entities.cend()) {
            out += *entity;
        } else if (Cp1251::canEncode(cp) &&
                   (cp >= 0x20 || cp == u'\t' || cp == u'\n' || cp == u'\r')) {
            out += character;
        } else {
            // Outside the code page, or a control character no XML document
            // may hold: a numeric reference, escaped like a name put in before
            // the ampersand's turn.
            out += Escaping::xml(Escaping::numericReference(cp));
        }
    }
    return out;
}

QString WordProcessor(const QString& text, const std::vector<Smiley>& smileys) {
    QString s = replaceSmileys(Entities2Text(text), smileys);
    replaceAll(s, u"[i]", u"<i>");
    replaceAll(s, u"[/i]", u"</i>");
    replaceAll(s, u"[b]", u"<b>");
    replaceAll(s, u"[/b]", u"</b>");
    replaceAll(s, u"[u]", u"<div style='text-decoration: underline;'>");
    replaceAll(s, u"[/u]", u"</div>");
    replaceAll(s, u"[size=", u"<font size=");
    replaceAll(s, u"[/size]", u"</font>");
    s = bareLinks(namedLinks(s));
    cutMarker(s);
    replaceAll(s, u"[QUOTE",
               u"<br><b>Цитата:</b><table border=1 align=center width=99%><tr><td font "
               u"style='font-size: 10pt; font-family: Verdana, Arial, Helvetica, sans-serif;'");
    replaceAll(s, u"[/QUOTE]", u"[/QUOTE]<br>");
    replaceAll(s, u"[/QUOTE", u"</td></tr></table");
    replaceAll(s, u"[user=", u"&#60;<img src=..\\img\\new_person.bmp> ");
    replaceAll(s, u"[color=", u"<font color=");
    replaceAll(s, u"[/color]", u"</font>");
    replaceAll(s, u"[MORE]", u"");
    replaceAll(s, u"[/URL]", u"");
    s.replace(u']', u'>');
    replaceAll(s, u" target=\"_blank\"", u"");
    return s;
}

} // namespace orv::Markup
