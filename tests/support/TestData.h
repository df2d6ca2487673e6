#pragma once

#include <QFile>
#include <QHash>
#include <QString>
#include <QtTest>
#include <array>
#include <initializer_list>

namespace orv::test {

// A file under tests/data: answers from the service, golden pages and trees,
// tables of cases.
inline QByteArray dataBytes(const QString& relative) {
    QFile file(QStringLiteral(ORV_TEST_DATA_DIR "/") + relative);
    if (!file.open(QIODevice::ReadOnly)) {
        qFatal("no test data file %s", qPrintable(relative));
    }
    return file.readAll();
}

inline QString dataText(const QString& relative) {
    return QString::fromUtf8(dataBytes(relative));
}

// The file's lines, without the empty ones and the comments ("# ...").
inline QStringList dataLines(const QString& relative) {
    QStringList lines = dataText(relative).split(u'\n', Qt::SkipEmptyParts);
    lines.removeIf([](const QString& line) { return line.startsWith(u'#'); });
    return lines;
}

// A cell of a table file with \t, \r, \n, \0, \xHH and \\ read as the characters.
inline QString unescaped(const QString& cell) {
    static const QHash<QChar, QChar> named = {
        {u't', u'\t'}, {u'r', u'\r'}, {u'n', u'\n'}, {u'0', QChar(u'\0')}};
    QString out;
    for (qsizetype i = 0; i < cell.size(); ++i) {
        if (cell[i] != u'\\' || i + 1 == cell.size()) {
            out += cell[i];
        } else if (cell[++i] == u'x') {
            out += QChar(cell.mid(i + 1, 2).toUShort(nullptr, 16));
            i += 2;
        } else {
            out += named.value(cell[i], cell[i]);
        }
    }
    return out;
}

// Fills the running _data() function from a table file: one case a line, its
// cells separated by tabs, the first naming the case and the others filling
// the text columns named here, in order.
inline void addRows(const QString& relative, std::initializer_list<const char*> columns) {
    for (const char* column : columns) {
        QTest::addColumn<QString>(column);
    }
    for (const QString& line : dataLines(relative)) {
        const QStringList cells = line.split(u'\t');
        QTestData& row = QTest::newRow(qPrintable(cells[0]));
        for (qsizetype i = 1; i <= qsizetype(columns.size()); ++i) {
            row << unescaped(cells.value(i));
        }
    }
}

// The text cells of the running case, by their columns' names: one line for
// what would be a QFETCH a column.
template <size_t N> std::array<QString, N> cells(const char* const (&columns)[N]) {
    std::array<QString, N> values;
    for (size_t i = 0; i < N; ++i) {
        values[i] = *static_cast<const QString*>(QTest::qData(columns[i], QMetaType::QString));
    }
    return values;
}

} // namespace orv::test
