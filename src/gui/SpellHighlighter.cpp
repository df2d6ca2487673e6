#include "SpellHighlighter.h"

#include "app/OrvError.h"
#include "composer/SpellChecker.h"

#include <QAction>
#include <QMenu>
#include <QTextBlock>

using namespace Qt::StringLiterals;

namespace orv {

SpellHighlighter::SpellHighlighter(QTextDocument* document, std::shared_ptr<SpellChecker> checker)
    : QSyntaxHighlighter(document)
    , m_checker(std::move(checker)) {}

void SpellHighlighter::highlightBlock(const QString& text) {
    QTextCharFormat wrong;
    wrong.setUnderlineStyle(QTextCharFormat::SpellCheckUnderline);
    wrong.setUnderlineColor(Qt::red);
    for (const SpellChecker::Span& word : m_checker->misspelt(text)) {
        setFormat(int(word.start), int(word.length), wrong);
    }
}

std::optional<QTextCursor> SpellHighlighter::misspeltAt(const QTextCursor& place) const {
    const QTextBlock block = place.block();
    const qsizetype offset = place.positionInBlock();
    for (const SpellChecker::Span& word : m_checker->misspelt(block.text())) {
        if (word.start <= offset && offset <= word.start + word.length) {
            QTextCursor selected(block);
            selected.setPosition(block.position() + int(word.start));
            selected.setPosition(block.position() + int(word.start + word.length),
                                 QTextCursor::KeepAnchor);
            return selected;
        }
    }
    return std::nullopt;
}

void SpellHighlighter::offerFixes(QMenu& menu, const QTextCursor& word,
                                  const std::function<void(const QString&)>& failed) {
    QAction* first = menu.actions().value(0);
    const auto add = [&](const QString& text) {
        auto* action = new QAction(text, &menu);
        menu.insertAction(first, action);
        return action;
    };
    const QString written = word.selectedText();
    const QStringList replacements = m_checker->suggestions(written);
    for (const QString& replacement : replacements) {
        connect(add(replacement), &QAction::triggered, this,
                [word, replacement] { QTextCursor(word).insertText(replacement); });
    }
    if (replacements.isEmpty()) {
        add(u"Нет вариантов"_s)->setEnabled(false);
    }
    menu.insertSeparator(first);
    connect(add(u"Добавить в словарь"_s), &QAction::triggered, this, [this, written, failed] {
        try {
            m_checker->addToPersonal(written);
        } catch (const OrvError& error) {
            failed(error.text());
        }
        emit wordAccepted();
    });
    connect(add(u"Пропустить"_s), &QAction::triggered, this, [this, written] {
        m_checker->ignore(written);
        emit wordAccepted();
    });
    menu.insertSeparator(first);
}

} // namespace orv
