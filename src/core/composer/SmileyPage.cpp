#include "SmileyPage.h"

#include "app/Cp1251.h"
#include "app/Escaping.h"
#include "app/TextFiles.h"
#include "app/WorkingFolder.h"

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
    return Escaping::htmlAttribute(value, Cp1251::canEncode);
}

QString row(const Smiley& smiley) {
    return u"<tr><td align='center'><a href='http://"_s + attribute(smiley.code) +
           u"'><img src='"_s + attribute(smiley.url) + u"' alt='' border=0'></a><br></td></tr>"_s;
}

} // namespace

QString attributeText(const QString& value) {
    return Escaping::decode(value, Escaping::Names::Xml);
}

QString path(const WorkingFolder& folder) {
    return folder.tmpFolder() + u"/smile.htm"_s;
}

QString text(const std::vector<Smiley>& smileys) {
    QString page = kHead + kCrLf;
    for (const Smiley& smiley : smileys) {
        page += row(smiley) + kCrLf + kCrLf; // the row's line, then an empty line
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
