#include "ShrinkingText.h"

#include <algorithm>

namespace orv {

ShrinkingText::ShrinkingText(QString text)
    : m_text(std::move(text)) {}

qsizetype ShrinkingText::indexOf(QStringView pattern, qsizetype from,
                                 Qt::CaseSensitivity cs) const {
    const QStringView whole(m_text);
    if (gapLength() == 0) {
        return whole.indexOf(pattern, from, cs);
    }
    if (from < m_gapStart) {
        const qsizetype before = whole.first(m_gapStart).indexOf(pattern, from, cs);
        if (before >= 0) {
            return before;
        }
        if (const qsizetype across = indexAcrossGap(pattern, from, cs); across >= 0) {
            return across;
        }
    }
    const qsizetype after = whole.indexOf(pattern, std::max(from, m_gapStart) + gapLength(), cs);
    return after < 0 ? -1 : after - gapLength();
}

qsizetype ShrinkingText::indexAcrossGap(QStringView pattern, qsizetype from,
                                        Qt::CaseSensitivity cs) const {
    for (qsizetype start = std::max(from, m_gapStart - pattern.size() + 1); start < m_gapStart;
         ++start) {
        if (start + pattern.size() > size()) {
            return -1;
        }
        QString candidate;
        appendTo(candidate, start, start + pattern.size());
        if (candidate.compare(pattern, cs) == 0) {
            return start;
        }
    }
    return -1;
}

void ShrinkingText::remove(qsizetype at, qsizetype length) {
    moveGapTo(at);
    m_gapEnd += length;
}

void ShrinkingText::moveGapTo(qsizetype at) {
    QChar* data = m_text.data();
    if (at > m_gapStart) {
        if (gapLength() > 0) {
            std::copy(data + m_gapEnd, data + m_gapEnd + (at - m_gapStart), data + m_gapStart);
        }
    } else if (at < m_gapStart) {
        std::copy_backward(data + at, data + m_gapStart, data + m_gapEnd);
    }
    m_gapEnd += at - m_gapStart;
    m_gapStart = at;
}

void ShrinkingText::appendTo(QString& out, qsizetype from, qsizetype to) const {
    const QStringView whole(m_text);
    if (from < m_gapStart) {
        out += whole.mid(from, std::min(to, m_gapStart) - from);
    }
    if (to > m_gapStart) {
        const qsizetype start = std::max(from, m_gapStart);
        out += whole.mid(start + gapLength(), to - start);
    }
}

} // namespace orv
