#pragma once

#include "PageBuilder.h"

#include <QString>

namespace orv {

class Database;
class RunControl;

// A diary taken out of the program into a folder that any browser opens with
// no network: index.html (posts newest first: date, title, comments), one
// page a post with its comments as the view shows it (post-<local id>.html),
// and diary.json with every stored field of every post and comment (UTF-8,
// ISO dates). Files are named by identifier, never by title.
class DiaryExport {
public:
    DiaryExport(Database& db, QString site, PageBuilder::BodyConverter wordProcessor);

    // Writes the owner's published posts; returns how many. A cancel stops
    // after the post in hand, and the index and the JSON list the posts
    // written. Throws OrvError when the folder or a file cannot be written.
    int write(const QString& owner, const QString& folder, const RunControl& control);

private:
    Database& m_db;
    QString m_site;
    PageBuilder::BodyConverter m_wordProcessor;
};

} // namespace orv
