#pragma once

#include <QString>
#include <QVariantMap>
#include <vector>

namespace orv {

class Database;

// A diary's stored posts and comments with every column, for taking the diary
// out of the program. Rows are read one post at a time, so a diary of any
// size is exported in little memory. All calls throw OrvError.
class DiaryRows {
public:
    struct PostKey {
        qint64 thisId = 0;
        QString postId;
    };

    explicit DiaryRows(Database& db);

    // The owner's posts, newest first.
    std::vector<PostKey> posts(const QString& owner);
    // Column name → value.
    QVariantMap post(qint64 thisId);
    std::vector<QVariantMap> commentsOf(const QString& postId);

private:
    std::vector<QVariantMap> select(const QString& sql, const QVariant& value);

    Database& m_db;
};

} // namespace orv
