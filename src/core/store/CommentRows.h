#pragma once

#include "Statement.h"

#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace orv {

// A block of the tree's comment rows, as TreeRows::commentsSql reads them: a
// thousand or so rows in a few buffers that are filled again for the next
// block, so that a walk through them sees the rows ahead and no row costs an
// allocation. Identifiers stand in one text buffer; authors are numbered, and
// each block names the authors it is the first to bring.
class CommentRows {
public:
    struct Row {
        quint32 textAt = 0; // the CommentID, then the PostID, in the block's text
        quint32 commentIdSize = 0;
        quint32 postIdSize = 0;
        quint32 author = 0; // numbered from 0 across the blocks of a reading
        qint64 thisId = 0;
        bool isNew = false, sent = false, inDoubt = false;
    };

    const std::vector<Row>& rows() const { return m_rows; }
    QStringView commentId(const Row& row) const {
        return QStringView(m_text.data() + row.textAt, row.commentIdSize);
    }
    QStringView postId(const Row& row) const {
        return QStringView(m_text.data() + row.textAt + row.commentIdSize, row.postIdSize);
    }
    // The names of the authors this block brings first, in their numbers' order.
    const std::vector<QString>& newAuthors() const { return m_newAuthors; }

private:
    friend class CommentReader;

    static constexpr size_t MostRows = 1024;
    // Once its text passes this many units a block takes no more rows.
    static constexpr size_t MostText = 1 << 16;
    bool full() const { return m_rows.size() >= MostRows || m_text.size() >= MostText; }
    void clear();
    // A row from the engine's UTF-8; the identifiers' text goes in the block's.
    Row& add(QByteArrayView commentId, QByteArrayView postId);
    // Writes the text as UTF-16 at out, which it moves past it.
    static void toUtf16(QByteArrayView utf8, char16_t*& out);

    std::vector<char16_t> m_text;
    std::vector<Row> m_rows;
    std::vector<QString> m_newAuthors;
};

// Reads the comment rows of the tree a block at a time, on the connection it
// is given (and on that connection's thread). Throws OrvError.
class CommentReader {
public:
    explicit CommentReader(Database& db);

    // Fills the block with the next rows; false when none were left.
    bool next(CommentRows& block);

private:
    // Names are looked up by their UTF-8 as the engine hands it over: a QString
    // is made once an author, not once a row.
    struct Utf8Hash {
        using is_transparent = void;
        size_t operator()(std::string_view name) const noexcept {
            return std::hash<std::string_view>()(name);
        }
    };

    quint32 authorNumber(QByteArrayView name, CommentRows& block);

    Statement m_query;
    bool m_finished = false;
    std::unordered_map<std::string, quint32, Utf8Hash, std::equal_to<>> m_authorNumbers;
};

} // namespace orv
