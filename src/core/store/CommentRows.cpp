#include "CommentRows.h"

#include "TreeRows.h"

#include <QStringDecoder>

namespace orv {

void CommentRows::clear() {
    m_text.clear();
    m_rows.clear();
    m_newAuthors.clear();
}

// UTF-16 takes no more units than UTF-8 takes bytes: the room is made once,
// and given back when the text took less.
void CommentRows::toUtf16(QByteArrayView utf8, char16_t*& out) {
    qsizetype ascii = 0;
    while (ascii < utf8.size() && static_cast<unsigned char>(utf8[ascii]) < 0x80) {
        out[ascii] = char16_t(utf8[ascii]);
        ++ascii;
    }
    out += ascii;
    if (ascii < utf8.size()) {
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        out = reinterpret_cast<char16_t*>(
            decoder.appendToBuffer(reinterpret_cast<QChar*>(out), utf8.sliced(ascii)));
    }
}

CommentRows::Row& CommentRows::add(QByteArrayView commentId, QByteArrayView postId) {
    Row& row = m_rows.emplace_back();
    const size_t at = m_text.size();
    row.textAt = quint32(at);
    m_text.resize(at + size_t(commentId.size() + postId.size()));
    char16_t* const start = m_text.data() + at;
    char16_t* out = start;
    toUtf16(commentId, out);
    row.commentIdSize = quint32(out - start);
    toUtf16(postId, out);
    row.postIdSize = quint32(out - start) - row.commentIdSize;
    m_text.resize(size_t(out - m_text.data()));
    return row;
}

CommentReader::CommentReader(Database& db)
    : m_query(db, TreeRows::commentsSql()) {}

quint32 CommentReader::authorNumber(QByteArrayView name, CommentRows& block) {
    const std::string_view bytes(name.data(), size_t(name.size()));
    if (const auto known = m_authorNumbers.find(bytes); known != m_authorNumbers.end()) {
        return known->second;
    }
    const auto number = quint32(m_authorNumbers.size());
    m_authorNumbers.emplace(std::string(bytes), number);
    block.m_newAuthors.push_back(QString::fromUtf8(name));
    return number;
}

bool CommentReader::next(CommentRows& block) {
    block.clear();
    // Stepped again after its last row, the engine would start the query anew.
    while (!m_finished && !block.full()) {
        if (!m_query.next()) {
            m_finished = true;
            break;
        }
        CommentRows::Row& row = block.add(m_query.utf8(0), m_query.utf8(1));
        row.thisId = m_query.integer(2);
        row.author = authorNumber(m_query.utf8(3), block);
        TreeRows::setFlags(row, m_query.integer(4));
    }
    return !block.rows().empty();
}

} // namespace orv
