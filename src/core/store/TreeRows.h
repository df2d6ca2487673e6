#pragma once

#include <QString>
#include <functional>

namespace orv {

class Database;

// inDoubt: unsent, and handed to the service without an answer since.
struct PostRow {
    QString header, postId, uName;
    qint64 thisId = 0;
    bool isNew = false, sent = false, inDoubt = false;
};

struct PrivateRow {
    qint64 id = 0;
    QString uName;
    bool isNew = false, sent = false, inDoubt = false;
};

// The rows the message tree is built from, read in the tree's order and handed
// over one at a time, so no copy of the whole store is held. Throws OrvError.
class TreeRows {
public:
    explicit TreeRows(Database& db);

    // Authors in ascending order.
    void authors(const std::function<void(const QString&)>& visit);
    // By author descending, then PostID descending (as text).
    void posts(const std::function<void(const PostRow&)>& visit);
    // Outgoing first, then incoming; newest first in each.
    void privates(bool outgoing, const std::function<void(const PrivateRow&)>& visit);

    // The comments that name a post (stored or not), by CommentID ascending
    // (as text), for CommentReader: CommentID, PostID, ThisID, uName and the
    // flags that setFlags() reads.
    static QString commentsSql();
    template <typename Row> static void setFlags(Row& row, qint64 flags) {
        row.isNew = (flags & 1) != 0;
        row.sent = (flags & 2) != 0;
        row.inDoubt = !row.sent && (flags & 4) != 0;
    }

private:
    static QString flagsSql(const QString& table);

    Database& m_db;
};

} // namespace orv
