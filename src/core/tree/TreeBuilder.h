#pragma once

#include "TreeSnapshot.h"

namespace orv {

class Database;
struct Settings;

// What the tree shows beyond its fixed rules.
struct TreeFilter {
    bool onlyNewComments = false; // only new comments, and the posts holding them or new
};

// Builds the message tree from the store: the five fixed nodes, the diaries of
// other users, posts by author (highest PostID first), comments under their
// post, private messages (outgoing first, newest first). New items are made
// visible and counted.
class TreeBuilder {
public:
    // Without a database only the fixed nodes are built.
    TreeBuilder(const Settings& settings, Database* db = nullptr, TreeFilter filter = {});

    // Throws OrvError when the store cannot be read.
    TreeSnapshot build() const;

    // The caption of a post: "Без заголовка" for an empty or one-blank
    // header, else the header with every HTML entity decoded (Escaping::decode),
    // then cut to 28 characters and "...".
    static QString postCaption(const QString& header);
    static constexpr qsizetype CaptionLength = 28;

private:
    void addFixedNodes(TreeSnapshot& tree) const;
    void addMessages(TreeSnapshot& tree) const;
    void addPrivates(TreeSnapshot& tree) const;

    const Settings& m_settings;
    Database* m_db;
    TreeFilter m_view;
};

} // namespace orv
