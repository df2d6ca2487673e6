#pragma once

#include <QString>

namespace orv {

class PageBuilder;
class PageRows;

// Writes the page of the item behind a tree node.
class NodePage {
public:
    enum class Shown {
        Page,      // the page file holds the item
        Blank,     // a fixed node: the view shows an empty page
        Unchanged, // a diary without stored posts: the view keeps its page
    };

    struct Result {
        Shown shown = Shown::Blank;
        bool wasNew = false; // the item was unread
    };

    NodePage(PageRows& rows, PageBuilder& pages);

    // Throws OrvError when the item is no longer stored or the page cannot be
    // written.
    Result show(const QString& nodeKey);

private:
    PageRows& m_rows;
    PageBuilder& m_pages;
};

} // namespace orv
