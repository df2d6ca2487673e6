#pragma once

#include <QDomDocument>
#include <QDomElement>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace orv {

struct Session;

// The hand-over from a decoder to its storing procedure: one row of texts per
// item, a fixed number of columns. It starts as one row of empty texts.
struct DecodedTable {
    explicit DecodedTable(int columns)
        : columns(columns)
        , rows(1, QStringList(columns, QString())) {}

    void resize(int count) { rows.assign(size_t(count), QStringList(columns, QString())); }
    void reset() { resize(1); }

    int columns;
    std::vector<QStringList> rows;
    bool stopped = false; // the user declined to go on after a service error
};

// Reading a result document: root "results", RESULT elements with QID and ERROR,
// ITEM children with the fields.
namespace ResultDocument {

// The document in the file (Windows-1251 bytes), or nothing when it does not
// parse. Throws OrvError when the file cannot be read.
std::optional<QDomDocument> load(const QString& path);
// The same for an answer already in memory.
std::optional<QDomDocument> parse(const QString& text);

// The RESULT elements of the results element, in document order.
QList<QDomElement> results(const QDomDocument& document);
QList<QDomElement> children(const QDomElement& parent, const QString& name);

// The text of a child element; throws OrvError when there is none.
QString childText(const QDomElement& item, const QString& name);
// The ERROR attribute; throws OrvError when there is none.
QString errorCode(const QDomElement& result);

// The document in the file; when it does not parse, "NAME:: Структура
// XML-файла нарушена." with the file's first field is logged and nothing is
// returned. Throws OrvError when the file cannot be read.
std::optional<QDomDocument> loadOrReport(const Session& session, const QString& decoderName,
                                         const QString& path);

// What a decoder handed over; throws OrvError when it handed over nothing
// (its document did not load), so the storing procedure reports it.
const DecodedTable& decoded(const std::optional<DecodedTable>& table);

// Asks whether to go on after a service error; true for Yes. Codes "" and "0"
// are no error and ask nothing.
bool goOnAfter(const Session& session, const QString& prefix, const QString& code);

} // namespace ResultDocument
} // namespace orv
