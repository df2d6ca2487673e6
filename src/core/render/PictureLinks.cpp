#include "PictureLinks.h"

#include <QSet>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace orv::PictureLinks {
namespace {

bool isSpace(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

// Reads the attributes of the tag starting at `at` (just past its name) up to
// its '>', and gives the value of src. `at` ends past the tag.
QString srcOfTag(QStringView html, qsizetype& at) {
    QString src;
    const qsizetype size = html.size();
    while (at < size && html[at] != u'>') {
        if (isSpace(html[at]) || html[at] == u'/') {
            ++at;
            continue;
        }
        const qsizetype nameStart = at;
        while (at < size && !isSpace(html[at]) && html[at] != u'=' && html[at] != u'>') {
            ++at;
        }
        const QStringView name = html.mid(nameStart, at - nameStart);
        while (at < size && isSpace(html[at])) {
            ++at;
        }
        if (at >= size || html[at] != u'=') {
            continue; // an attribute without a value
        }
        ++at;
        while (at < size && isSpace(html[at])) {
            ++at;
        }
        qsizetype valueStart = at;
        qsizetype valueEnd = at;
        if (at < size && (html[at] == u'"' || html[at] == u'\'')) {
            const QChar quote = html[at];
            valueStart = ++at;
            while (at < size && html[at] != quote) {
                ++at;
            }
            valueEnd = at;
            at = std::min(at + 1, size);
        } else {
            while (at < size && !isSpace(html[at]) && html[at] != u'>') {
                ++at;
            }
            valueEnd = at;
        }
        if (src.isEmpty() && name.compare(u"src"_s, Qt::CaseInsensitive) == 0) {
            src = html.mid(valueStart, valueEnd - valueStart).trimmed().toString();
        }
    }
    if (at >= size) {
        return {}; // a tag left open at the end is text to a browser
    }
    return src.replace(u"&amp;"_s, u"&"_s);
}

} // namespace

QStringList inHtml(QStringView html) {
    QStringList urls;
    QSet<QString> seen;
    const qsizetype size = html.size();
    for (qsizetype at = html.indexOf(u'<'); at >= 0 && at + 4 < size; at = html.indexOf(u'<', at)) {
        ++at;
        if (html.mid(at, 3) == u"!--") { // a comment shows nothing
            const qsizetype end = html.indexOf(u"-->", at + 3);
            if (end < 0) {
                break;
            }
            at = end + 3;
            continue;
        }
        if (html.mid(at, 3).compare(u"img"_s, Qt::CaseInsensitive) != 0 ||
            !(isSpace(html[at + 3]) || html[at + 3] == u'/')) {
            continue;
        }
        at += 3;
        const QString src = srcOfTag(html, at);
        if (fetchable(src) && !seen.contains(src)) {
            seen.insert(src);
            urls.append(src);
        }
    }
    return urls;
}

bool fetchable(const QString& url) {
    const QUrl parsed(url);
    const QString scheme = parsed.scheme().toLower();
    return parsed.isValid() && !parsed.host().isEmpty() &&
           (scheme == u"http"_s || scheme == u"https"_s);
}

} // namespace orv::PictureLinks
