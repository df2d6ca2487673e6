#pragma once

#include <QSyntaxHighlighter>
#include <QTextCursor>
#include <memory>
#include <optional>

class QMenu;

namespace orv {

class SpellChecker;

// Underlines the misspelt words of a document in red, a paragraph at a time:
// typing rechecks the paragraph typed in only. Its formats are the view's and
// never reach the document's HTML.
class SpellHighlighter : public QSyntaxHighlighter {
    Q_OBJECT

public:
    SpellHighlighter(QTextDocument* document, std::shared_ptr<SpellChecker> checker);

    // The misspelt word at the cursor's place, selected; nothing when the
    // place holds none.
    std::optional<QTextCursor> misspeltAt(const QTextCursor& place) const;

    // Puts the spelling entries for the word above the menu's own: up to
    // seven replacements, "Добавить в словарь" and "Пропустить". A failure to
    // write the personal list goes to `failed`.
    void offerFixes(QMenu& menu, const QTextCursor& word,
                    const std::function<void(const QString&)>& failed);

signals:
    // The checker took a word: every view it checks is to be checked again.
    void wordAccepted();

protected:
    void highlightBlock(const QString& text) override;

private:
    std::shared_ptr<SpellChecker> m_checker;
};

} // namespace orv
