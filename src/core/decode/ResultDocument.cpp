#include "ResultDocument.h"

#include "app/Constants.h"
#include "app/OrvError.h"
#include "app/Session.h"
#include "app/StatusLog.h"
#include "app/TextFiles.h"
#include "app/UserPrompts.h"
#include "exchange/ServerErrors.h"

using namespace Qt::StringLiterals;

namespace orv::ResultDocument {

std::optional<QDomDocument> parse(const QString& text) {
    QDomDocument document;
    if (!document.setContent(text)) {
        return std::nullopt;
    }
    return document;
}

std::optional<QDomDocument> load(const QString& path) {
    return parse(TextFiles::ReadWholeFile(path));
}

QList<QDomElement> results(const QDomDocument& document) {
    QDomElement root = document.documentElement();
    if (root.tagName() != u"results"_s) {
        root = document.elementsByTagName(u"results"_s).item(0).toElement();
    }
    return children(root, u"RESULT"_s);
}

QList<QDomElement> children(const QDomElement& parent, const QString& name) {
    QList<QDomElement> found;
    for (QDomElement e = parent.firstChildElement(name); !e.isNull();
         e = e.nextSiblingElement(name)) {
        found.append(e);
    }
    return found;
}

QString childText(const QDomElement& item, const QString& name) {
    const QDomElement child = item.firstChildElement(name);
    if (child.isNull()) {
        throw OrvError(u"в ответе сервера нет элемента "_s + name);
    }
    return child.text();
}

QString errorCode(const QDomElement& result) {
    if (!result.hasAttribute(u"ERROR"_s)) {
        throw OrvError(u"в ответе сервера нет атрибута ERROR"_s);
    }
    return result.attribute(u"ERROR"_s);
}

std::optional<QDomDocument> loadOrReport(const Session& session, const QString& decoderName,
                                         const QString& path) {
    auto document = load(path);
    if (document) {
        return document;
    }
    session.log.LogFailure(decoderName +
                           u":: Структура XML-файла нарушена.\r\nСодержание файла:\r\n\r\n"_s +
                           TextFiles::ReadFirstField(path) + u" ..."_s);
    return std::nullopt;
}

const DecodedTable& decoded(const std::optional<DecodedTable>& table) {
    if (!table) {
        throw OrvError(u"Индекс выходит за пределы допустимого диапазона"_s);
    }
    return *table;
}

bool goOnAfter(const Session& session, const QString& prefix, const QString& code) {
    if (code.isEmpty() || code == u"0"_s) {
        return true;
    }
    return session.prompts.askYesNo(VersionTag, prefix + ServerErrorText(code) +
                                                    u"\r\nДА - продолжаем, НЕТ - не продолжаем"_s);
}

} // namespace orv::ResultDocument
