#include "RequestDocuments.h"

#include "app/Escaping.h"
#include "store/Settings.h"

using namespace Qt::StringLiterals;

namespace orv::RequestDocuments {

QString envelope(const Settings& settings, const QStringList& queryLines,
                 const QString& declaredEncoding) {
    QStringList lines;
    lines.reserve(queryLines.size() + 3);
    lines.append(u"<?xml version='1.0' encoding='"_s + declaredEncoding + u"'?>"_s);
    lines.append(u"<QUERYS username='"_s + Escaping::xml(settings.UserName) + u"' password='"_s +
                 Escaping::xml(settings.Password) + u"' mainid='1'>"_s);
    lines.append(queryLines);
    lines.append(u"</QUERYS>"_s);
    return lines.join(u"\r\n"_s);
}

QString element(const QString& name, const QString& value) {
    return u'<' + name + u'>' + Escaping::xml(value) + u"</"_s + name + u'>';
}

QString getRel(const Settings& settings) {
    return envelope(
        settings, {u"<query QID='get_rel' TYPE='5'>"_s, u"<action>get</action>"_s, u"</query>"_s});
}

QString newPosts(const Settings& settings) {
    return envelope(settings, {u"<query QID='get_new_posts' TYPE='9'>"_s,
                               element(u"dpost"_s, settings.CheckTime_Posts),
                               element(u"maxpost"_s, settings.MaxPost), u"</query>"_s});
}

QString newComments(const Settings& settings) {
    return envelope(settings, {u"<query QID='get_new_comments' TYPE='7'>"_s,
                               element(u"dpost"_s, settings.CheckTime_Comments),
                               element(u"maxpost"_s, settings.MaxPost), u"</query>"_s});
}

QString newPrivates(const Settings& settings) {
    return envelope(settings, {u"<query QID='get_new_privates' TYPE='10'>"_s,
                               element(u"maxpost"_s, settings.MaxPost), u"</query>"_s});
}

QString newSmiles(const Settings& settings) {
    return envelope(settings, {u"<query QID='get_new_smiles' TYPE='11'>"_s,
                               element(u"LASTSMILEID"_s, settings.LASTSMILEID), u"</query>"_s});
}

QString allComments(const Settings& settings, const QString& postId) {
    return envelope(settings,
                    {u"<query QID='allcomments' TYPE='12'>"_s, element(u"postid"_s, postId),
                     element(u"maxpost"_s, settings.MaxPost), u"</query>"_s},
                    u"UTF-8"_s);
}

} // namespace orv::RequestDocuments
