#pragma once

#include <QString>

namespace orv {

// A text that only loses pieces, each near or after the one lost before it,
// as a conversion walking forward cuts them. The piece left out is a gap kept
// where the last cut was, so a cut moves only the characters between it and
// the one before, and the whole walk stays linear in the text's length.
// Positions are those of the text as it is after the cuts so far.
class ShrinkingText {
public:
    explicit ShrinkingText(QString text);

    qsizetype size() const { return m_text.size() - (m_gapEnd - m_gapStart); }

    // The first occurrence of the pattern at or after from, or -1.
    qsizetype indexOf(QStringView pattern, qsizetype from, Qt::CaseSensitivity cs) const;
    void remove(qsizetype at, qsizetype length);
    // Appends the characters in [from, to) to out.
    void appendTo(QString& out, qsizetype from, qsizetype to) const;

private:
    qsizetype gapLength() const { return m_gapEnd - m_gapStart; }
    void moveGapTo(qsizetype at);
    // An occurrence that starts before the gap and ends after it.
    qsizetype indexAcrossGap(QStringView pattern, qsizetype from, Qt::CaseSensitivity cs) const;

    QString m_text;
    qsizetype m_gapStart = 0;
    qsizetype m_gapEnd = 0;
};

} // namespace orv
