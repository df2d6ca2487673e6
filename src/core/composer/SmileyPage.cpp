#include "SmileyPage.h"

#include "app/Cp1251.h"
#include "app/TextFiles.h"
#include "app/WorkingFolder.h"

#include <QHash>
#include <QList>
#include <optional>

using namespace Qt::StringLiterals;

namespace orv::SmileyPage {
namespace {

const QString kCrLf = u"\r\n"_s;

const QString kHead =
    u"<html><head><meta http-equiv='Content-Type' content='text/html; charset=windows-1251'>"_s
    u"<style>.j_s {font-family: verdana; font-size: 8px; decoration: none} </style></head>"_s
    u"<body bgcolor=#d4d0c8>"_s
    u"<table border='1' cellpadding='2' bordercolor='#000080' ellspacing='2'>"_s;

const QString kTail = u"</table></body></html>"_s;

// The text as the value of an attribute in single quotes, in characters the
// page's code page holds.
QString attribute(const QString& value) {
    QString out;
    out.reserve(value.size());
    for (const char32_t c : value.toUcs4()) {
        switch (c) {
        case U'&':
            out += u"&amp;"_s;
            break;
        case U'\'':
            out += u"&#39;"_s;
            break;
        case U'<':
            out += u"&lt;"_s;
            break;
        case U'>':
            out += u"&gt;"_s;
            break;
        default:
            if (Cp1251::canEncode(c)) {
                out += QString::fromUcs4(&c, 1);
            } else {
                out += u"&#"_s + QString::number(quint32(c)) + u';';
            }
        }
    }
    return out;
}

// The character of one reference without its "&" and ";", as in "#39" or "amp".
std::optional<QString> referenced(QStringView name) {
    if (name.startsWith(u'#')) {
        const bool hex = name.size() > 1 && (name[1] == u'x' || name[1] == u'X');
        bool ok = false;
        const uint code = name.mid(hex ? 2 : 1).toUInt(&ok, hex ? 16 : 10);
        if (!ok || code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            return std::nullopt;
        }
        const char32_t c = code;
        return QString::fromUcs4(&c, 1);
    }
    static const QHash<QString, QString> named{{u"amp"_s, u"&"_s},
                                               {u"lt"_s, u"<"_s},
                                               {u"gt"_s, u">"_s},
                                               {u"quot"_s, u"\""_s},
                                               {u"apos"_s, u"'"_s}};
    const auto it = named.constFind(name.toString());
    return it == named.constEnd() ? std::nullopt : std::optional<QString>(*it);
}

QString row(const Smiley& smiley) {
    return u"<tr><td align='center'><a href='http://"_s + attribute(smiley.code) +
           u"'><img src='"_s + attribute(smiley.url) + u"' alt='' border=0'></a><br></td></tr>"_s +
           kCrLf;
}

} // namespace

QString attributeText(const QString& value) {
    QString out;
    out.reserve(value.size());
    qsizetype from = 0;
    while (from < value.size()) {
        const qsizetype amp = value.indexOf(u'&', from);
        const qsizetype semicolon = amp < 0 ? -1 : value.indexOf(u';', amp + 1);
        if (semicolon < 0) {
            break;
        }
        out += QStringView(value).mid(from, amp - from);
        if (const auto c = referenced(QStringView(value).mid(amp + 1, semicolon - amp - 1))) {
            out += *c;
            from = semicolon + 1;
        } else {
            out += u'&';
            from = amp + 1;
        }
    }
    return out + QStringView(value).mid(from);
}

QString path(const WorkingFolder& folder) {
    return folder.tmpFolder() + u"/smile.htm"_s;
}

QString text(const std::vector<Smiley>& smileys) {
    QString page = kHead + kCrLf;
    for (const Smiley& smiley : smileys) {
        page += row(smiley) + kCrLf;
    }
    return page + kTail;
}

bool write(const WorkingFolder& folder, Database& db) {
    const std::vector<Smiley> smileys = SmileStore(db).all();
    if (smileys.empty()) {
        return false;
    }
    TextFiles::WriteTextFile(path(folder), text(smileys));
    return true;
}

} // namespace orv::SmileyPage
