// The cost of checking the spelling of a 100 KB message once, beside what the
// editor pays for the same text anyway: splitting it into words, and laying it
// out in a document.
#include "BenchSupport.h"
#include "composer/SpellChecker.h"

#include <QGuiApplication>
#include <QRandomGenerator>
#include <QSet>
#include <QTextDocument>
#include <QTextStream>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

QString prose(qsizetype length) {
    static const QStringList pieces = {
        u"Сегодня с утра шёл снег, а к обеду всё растаяло. "_s,
        u"<b>Важно:</b> встречаемся в полдень у метро :) "_s,
        u"Вот <a href='http://kordenet.ru/recipes/42'>рецепт</a> пирога с капустой. "_s,
        u"Кто бы мог подумать, что это так просто работает.\n"_s,
        u"Превед медвед, как дила? Исчо адин пост про погоду.\n"_s,
        u"We met at the station, and the train was late again. "_s,
        u"Перечитываю «Мастера и Маргариту», на этот раз медленно.\n"_s,
    };
    // One letter in fifty changed: thousands of different words, most of
    // them unknown to the dictionary, which is the slow case.
    const QString letters = u"абвгдеёжзийклмнопрстуфхцчшщыьэюя"_s;
    QRandomGenerator random(11);
    QString text;
    while (text.size() < length) {
        text += pieces[int(random.bounded(pieces.size()))];
    }
    text.truncate(length);
    for (QChar& c : text) {
        if (c.isLower() && c.script() == QChar::Script_Cyrillic && random.bounded(50) == 0) {
            c = letters[int(random.bounded(letters.size()))];
        }
    }
    return text;
}

// The best of a few runs, each on a checker whose answers start empty.
double best(int runs, const std::function<double()>& run) {
    double fastest = 1e9;
    for (int i = 0; i < runs; ++i) {
        fastest = std::min(fastest, run());
    }
    return fastest;
}

} // namespace

int main(int argc, char* argv[]) {
    orv::bench::drawOffscreenUnlessTold();
    QGuiApplication app(argc, argv);
    const bool small = app.arguments().contains(u"--small"_s);
    const QString text = prose(small ? 10 * 1024 : 100 * 1024);
    const int runs = small ? 1 : 5;
    const QStringList folders = orv::SpellChecker::systemFolders();

    double loading = 0;
    const double cold = best(runs, [&] {
        std::unique_ptr<orv::SpellChecker> checker;
        loading = orv::bench::seconds(
            [&] { checker = std::make_unique<orv::SpellChecker>(folders, QString()); });
        return orv::bench::seconds([&] { checker->misspelt(text); });
    });
    orv::SpellChecker warmChecker(folders, QString());
    warmChecker.misspelt(text);
    const double warm =
        best(runs, [&] { return orv::bench::seconds([&] { warmChecker.misspelt(text); }); });
    const double splitting =
        best(runs, [&] { return orv::bench::seconds([&] { orv::SpellChecker::words(text); }); });
    const double layout = best(runs, [&] {
        return orv::bench::seconds([&] {
            QTextDocument document;
            document.setPlainText(text);
            document.setTextWidth(600);
            (void)document.size();
        });
    });

    QTextStream out(stdout);
    const auto words = orv::SpellChecker::words(text);
    QSet<QString> distinct;
    for (const auto& word : words) {
        distinct.insert(text.mid(word.start, word.length));
    }
    out << "text: " << text.size() / 1024 << " KB, " << words.size() << " words to check, "
        << distinct.size() << " different, " << warmChecker.misspelt(text).size() << " misspelt\n";
    out << "loading the dictionaries:          " << loading << " s\n";
    out << "checking once, answers not kept:   " << cold << " s\n";
    out << "checking again, answers kept:      " << warm << " s\n";
    out << "baseline, splitting into words:    " << splitting << " s  (cold check "
        << cold / splitting << "x)\n";
    out << "baseline, laying the text out:     " << layout << " s  (cold check " << cold / layout
        << "x)\n";
    return 0;
}
