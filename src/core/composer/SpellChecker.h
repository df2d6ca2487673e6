#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <memory>
#include <vector>

namespace orv {

// Spelling of Russian and English words through Hunspell's dictionaries, with
// the user's own words from a personal list (UTF-8, one word a line). A word
// is correct when the dictionary of its alphabet knows it, with "е" read as
// "ё" and the other way round where the dictionary has only one of them.
// Markup is never checked: tags in <> and [], character references,
// addresses, words with digits, words in capitals and the smiley codes given.
class SpellChecker {
public:
    // A word in a text: where it starts, and how long it is.
    struct Span {
        qsizetype start = 0;
        qsizetype length = 0;
    };

    // Looks for ru_RU and en_US in the folders, in order; the personal list
    // is read when it exists.
    SpellChecker(const QStringList& dictionaryFolders, QString personalListPath);
    ~SpellChecker();
    SpellChecker(const SpellChecker&) = delete;
    SpellChecker& operator=(const SpellChecker&) = delete;

    // The folders of the system's dictionaries: those in DICPATH, then
    // Debian's.
    static QStringList systemFolders();

    // Off when the Russian dictionary was not found; problem() says why.
    bool available() const { return m_russian != nullptr; }
    // What went wrong with the dictionaries or the personal list, for the
    // status line; empty when nothing did.
    const QString& problem() const { return m_problem; }

    bool isCorrect(const QString& word);
    // At most `limit` replacements, the dictionary's best first.
    QStringList suggestions(const QString& word, int limit = 7);
    // Accepted from now on and in every later run. Throws OrvError when the
    // list cannot be written; the word is accepted in this run all the same.
    void addToPersonal(const QString& word);
    // Accepted until the program ends.
    void ignore(const QString& word);

    // The words of the text that are to be checked.
    static std::vector<Span> words(QStringView text);
    std::vector<Span> misspelt(QStringView text);

private:
    class Dictionary;
    static std::unique_ptr<Dictionary> load(const QStringList& folders, const QString& name);
    Dictionary* dictionaryFor(const QString& word) const;
    void loadPersonalList();

    std::unique_ptr<Dictionary> m_russian;
    std::unique_ptr<Dictionary> m_english;
    QString m_personalPath;
    QString m_problem;
    QSet<QString> m_ignored;      // personal, skipped and smiley words
    QHash<QString, bool> m_known; // dictionary answers so far
};

} // namespace orv
