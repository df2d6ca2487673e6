#pragma once

#include "XmlElement.h"

#include <QString>
#include <optional>
#include <vector>

namespace orv {

class UserPrompts;

// An answer of the service, parsed once: the results element with one RESULT
// element per answered query (attributes QID and ERROR) and their ITEMs.
class ResultDocument {
public:
    // Limits that keep a hostile answer from taking the program's memory or
    // time: an answer past them is a broken answer.
    static constexpr qsizetype MaxAnswerSize = 64 * 1024 * 1024; // characters
    static constexpr int MaxDepth = 64;

    // The declaration every answer of the service begins with.
    static inline const QString Declaration =
        QStringLiteral("<?xml version='1.0' encoding='windows-1251'?>");

    // Nothing when the text is not well-formed, exceeds a limit, or has no
    // results element (an HTML page is a broken answer, not an empty one).
    // Text in front of the XML declaration is dropped.
    static std::optional<ResultDocument> parse(const QString& text);

    // The RESULT elements, in document order.
    std::vector<const XmlElement*> results() const;

    // The first error code of the answer's RESULTs other than `usual` (a
    // code that is an ordinary outcome of the query), or "" when none has one.
    QString refusal(const QString& usual = {}) const;

    // The error code of a RESULT; "" and "0" mean success.
    static QString errorCode(const XmlElement& result);
    static bool isError(const QString& code) { return !code.isEmpty() && code != u'0'; }

    // Asks whether to go on with the rest of the answer after a RESULT with a
    // service error: the prefix, the error's text and "ДА - продолжаем, НЕТ -
    // не продолжаем". True for Yes.
    static bool askToGoOn(UserPrompts& prompts, const QString& prefix, const QString& code);

    // The text of an item's field; throws OrvError when the item lacks it.
    static QString field(const XmlElement& item, const QString& name);

private:
    explicit ResultDocument(XmlElement results)
        : m_results(std::move(results)) {}

    XmlElement m_results;
};

} // namespace orv
