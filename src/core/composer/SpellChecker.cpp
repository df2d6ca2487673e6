#include "SpellChecker.h"

#include "app/OrvError.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringEncoder>
#include <hunspell.hxx>

using namespace Qt::StringLiterals;

namespace orv {
namespace {

bool isCyrillic(QChar c) {
    return c.script() == QChar::Script_Cyrillic;
}

// Letters, with an apostrophe or a hyphen between two of them ("don't",
// "кто-то"); digits keep the word together so that it can be skipped whole.
bool isWordPart(QStringView text, qsizetype i) {
    const QChar c = text[i];
    if (c.isLetterOrNumber() || c.category() == QChar::Mark_NonSpacing) {
        return true;
    }
    const bool joiner = c == u'\'' || c == u'’' || c == u'-';
    return joiner && i > 0 && i + 1 < text.size() && text[i - 1].isLetterOrNumber() &&
           text[i + 1].isLetter();
}

// Where the markup that starts at i ends, or i when none starts there.
qsizetype pastMarkup(QStringView text, qsizetype i) {
    const QChar c = text[i];
    const auto pastClosing = [&](QChar closing) {
        const qsizetype end = text.indexOf(closing, i + 1);
        return end < 0 ? i : end + 1;
    };
    if (c == u'<') {
        return pastClosing(u'>');
    }
    if (c == u'[') {
        return pastClosing(u']');
    }
    if (c == u'&') {
        const qsizetype end = pastClosing(u';');
        return end - i <= 12 ? end : i; // a character reference is short
    }
    return i;
}

bool startsAddress(QStringView text, qsizetype i) {
    const QStringView rest = text.mid(i);
    for (const QString& start : {u"http://"_s, u"https://"_s, u"ftp://"_s, u"www."_s}) {
        if (rest.startsWith(start, Qt::CaseInsensitive)) {
            return true;
        }
    }
    return false;
}

qsizetype pastBlank(QStringView text, qsizetype i) {
    while (i < text.size() && !text[i].isSpace()) {
        ++i;
    }
    return i;
}

// An e-mail address, a domain or a file name goes on past the word at i.
bool addressGoesOn(QStringView text, qsizetype i) {
    if (i >= text.size()) {
        return false;
    }
    const QChar next = text[i];
    return next == u'@' || ((next == u'.' || next == u'/') && i + 1 < text.size() &&
                            text[i + 1].isLetterOrNumber());
}

// Words with digits, abbreviations in capitals and single letters are left alone.
bool worthChecking(QStringView word) {
    bool lower = false;
    for (const QChar c : word) {
        if (c.isDigit()) {
            return false;
        }
        lower = lower || c.isLower();
    }
    return lower && word.size() > 1;
}

QString replaced(QString word, QChar from, QChar to) {
    return word.replace(from, to);
}

} // namespace

// One Hunspell dictionary, spoken to in its own encoding.
class SpellChecker::Dictionary {
public:
    Dictionary(const QString& aff, const QString& dic)
        : m_hunspell(QFile::encodeName(aff).constData(), QFile::encodeName(dic).constData()) {
        const QString encoding = QString::fromStdString(m_hunspell.get_dict_encoding());
        m_encode = QStringEncoder(encoding.toLatin1().constData());
        m_decode = QStringDecoder(encoding.toLatin1().constData());
        if (!m_encode.isValid() || !m_decode.isValid()) {
            m_encode = QStringEncoder(QStringEncoder::Utf8);
            m_decode = QStringDecoder(QStringDecoder::Utf8);
        }
    }

    bool spells(const QString& word) { return m_hunspell.spell(bytes(word)); }

    // The word itself, or the dictionary's spelling of it with "ё" or "е".
    bool knows(const QString& word) {
        if (spells(word)) {
            return true;
        }
        if (word.contains(u'ё') || word.contains(u'Ё')) {
            return spells(replaced(replaced(word, u'ё', u'е'), u'Ё', u'Е'));
        }
        // Written with "е" where the dictionary has "ё": one letter at a time.
        for (qsizetype i = 0; i < word.size(); ++i) {
            if (word[i] == u'е' || word[i] == u'Е') {
                QString withYo = word;
                withYo[i] = word[i] == u'е' ? u'ё' : u'Ё';
                if (spells(withYo)) {
                    return true;
                }
            }
        }
        return false;
    }

    QStringList suggest(const QString& word, int limit) {
        QStringList found;
        for (const std::string& suggestion : m_hunspell.suggest(bytes(word))) {
            if (found.size() == limit) {
                break;
            }
            found << m_decode(QByteArrayView(suggestion.data(), qsizetype(suggestion.size())));
        }
        return found;
    }

private:
    std::string bytes(const QString& word) { return QByteArray(m_encode(word)).toStdString(); }

    Hunspell m_hunspell;
    QStringEncoder m_encode;
    QStringDecoder m_decode;
};

std::unique_ptr<SpellChecker::Dictionary> SpellChecker::load(const QStringList& folders,
                                                             const QString& name) {
    for (const QString& folder : folders) {
        const QString aff = folder + u'/' + name + u".aff"_s;
        const QString dic = folder + u'/' + name + u".dic"_s;
        if (QFileInfo(aff).isReadable() && QFileInfo(dic).isReadable()) {
            return std::make_unique<Dictionary>(aff, dic);
        }
    }
    return nullptr;
}

SpellChecker::SpellChecker(const QStringList& dictionaryFolders, QString personalListPath)
    : m_russian(load(dictionaryFolders, u"ru_RU"_s))
    , m_english(load(dictionaryFolders, u"en_US"_s))
    , m_personalPath(std::move(personalListPath)) {
    if (!m_russian) {
        m_problem = u"Проверка орфографии выключена: не найден словарь ru_RU"_s;
        return;
    }
    loadPersonalList();
}

SpellChecker::~SpellChecker() = default;

QStringList SpellChecker::systemFolders() {
    QStringList folders = qEnvironmentVariable("DICPATH").split(u':', Qt::SkipEmptyParts);
    folders << u"/usr/share/hunspell"_s;
    return folders;
}

void SpellChecker::loadPersonalList() {
    QFile file(m_personalPath);
    if (!file.exists()) {
        return;
    }
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        m_problem =
            u"Не могу прочитать личный словарь "_s + m_personalPath + u": "_s + file.errorString();
        return;
    }
    const QStringList words = QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    for (const QString& word : words) {
        m_ignored.insert(word.trimmed());
    }
}

SpellChecker::Dictionary* SpellChecker::dictionaryFor(const QString& word) const {
    const bool russian = std::any_of(word.cbegin(), word.cend(), isCyrillic);
    return russian ? m_russian.get() : m_english.get();
}

bool SpellChecker::isCorrect(const QString& word) {
    if (!available() || m_ignored.contains(word)) {
        return true;
    }
    Dictionary* dictionary = dictionaryFor(word);
    if (!dictionary) {
        return true; // no dictionary for its alphabet: nothing to say
    }
    const auto known = m_known.constFind(word);
    if (known != m_known.cend()) {
        return *known;
    }
    const bool correct = dictionary->knows(word);
    m_known.insert(word, correct);
    return correct;
}

QStringList SpellChecker::suggestions(const QString& word, int limit) {
    Dictionary* dictionary = available() ? dictionaryFor(word) : nullptr;
    return dictionary ? dictionary->suggest(word, limit) : QStringList();
}

void SpellChecker::ignore(const QString& word) {
    m_ignored.insert(word);
}

void SpellChecker::addToPersonal(const QString& word) {
    ignore(word);
    QFile file(m_personalPath);
    if (!file.open(QIODevice::Append | QIODevice::Text) ||
        file.write((word + u'\n').toUtf8()) < 0 || !file.flush()) {
        throw OrvError(u"Не могу записать личный словарь "_s + m_personalPath + u": "_s +
                       file.errorString());
    }
}

std::vector<SpellChecker::Span> SpellChecker::words(QStringView text) {
    std::vector<Span> found;
    qsizetype i = 0;
    while (i < text.size()) {
        if (const qsizetype past = pastMarkup(text, i); past != i) {
            i = past;
        } else if (startsAddress(text, i)) {
            i = pastBlank(text, i);
        } else if (isWordPart(text, i) && text[i].isLetterOrNumber()) {
            const qsizetype start = i;
            while (i < text.size() && isWordPart(text, i)) {
                ++i;
            }
            // A smiley code between colons (":smile:") is no word.
            const bool code =
                start > 0 && text[start - 1] == u':' && i < text.size() && text[i] == u':';
            if (addressGoesOn(text, i)) {
                i = pastBlank(text, i);
            } else if (!code && worthChecking(text.mid(start, i - start))) {
                found.push_back({start, i - start});
            }
        } else {
            ++i;
        }
    }
    return found;
}

std::vector<SpellChecker::Span> SpellChecker::misspelt(QStringView text) {
    std::vector<Span> wrong;
    if (!available()) {
        return wrong;
    }
    for (const Span& word : words(text)) {
        if (!isCorrect(text.mid(word.start, word.length).toString())) {
            wrong.push_back(word);
        }
    }
    return wrong;
}

} // namespace orv
