// Conversion throughput of realistic bodies with a 500-smiley catalogue, beside
// the baseline of copying the same bodies through Entities2Text alone.
#include "render/Markup.h"

#include <QRandomGenerator>
#include <QStringList>
#include <benchmark/benchmark.h>

using namespace Qt::StringLiterals;

namespace {

std::vector<orv::Smiley> catalogue() {
    std::vector<orv::Smiley> smileys = {{u":)"_s, u"http://k/s/1.gif"_s},
                                        {u":("_s, u"http://k/s/2.gif"_s},
                                        {u";)"_s, u"http://k/s/3.gif"_s},
                                        {u":D"_s, u"http://k/s/4.gif"_s}};
    for (int i = int(smileys.size()); i < 500; ++i) {
        smileys.push_back({u":smile"_s + QString::number(i) + u':',
                           u"http://k/s/"_s + QString::number(i) + u".gif"_s});
    }
    return smileys;
}

// Cyrillic prose with the service's markup, entities, quotes, links and smileys.
QString body(qsizetype length) {
    static const QStringList pieces = {
        u"Сегодня с утра шёл снег, а к обеду всё растаяло. "_s,
        u"&laquo;Мастер и Маргарита&raquo; &mdash; снова перечитываю. "_s,
        u"[b]Важно:[/b] встречаемся в 12:00 у метро :) "_s,
        u"Вот [url=http://kordenet.ru/recipes/42]рецепт[/url], а вот [url]http://kordenet.ru/p[/url]. "_s,
        u"[QUOTE]Никогда ничего не просите![/QUOTE]\n"_s,
        u"[color=red]Не забудьте[/color] поздравить Машу :smile17: ;)\n"_s,
        u"[i]Кто бы мог подумать[/i], что это так просто &quot;работает&quot;. "_s,
        u"[user=snegir] и [user=Ёжик] согласны :D\n"_s,
    };
    QRandomGenerator random(7);
    QString text;
    while (text.size() < length) {
        text += pieces[int(random.bounded(pieces.size()))];
    }
    text.truncate(length);
    return text;
}

void BM_WordProcessor(benchmark::State& state) {
    const auto smileys = catalogue();
    const QString text = body(state.range(0));
    for (auto _ : state) {
        benchmark::DoNotOptimize(orv::Markup::WordProcessor(text, smileys));
    }
    state.SetBytesProcessed(state.iterations() * state.range(0) * qsizetype(sizeof(QChar)));
}

void BM_Entities2Text_baseline(benchmark::State& state) {
    const QString text = body(state.range(0));
    for (auto _ : state) {
        benchmark::DoNotOptimize(orv::Markup::Entities2Text(text));
    }
    state.SetBytesProcessed(state.iterations() * state.range(0) * qsizetype(sizeof(QChar)));
}

} // namespace

void BM_WordProcessor_noSmileys(benchmark::State& state) {
    const QString text = body(state.range(0));
    for (auto _ : state) {
        benchmark::DoNotOptimize(orv::Markup::WordProcessor(text, {}));
    }
    state.SetBytesProcessed(state.iterations() * state.range(0) * qsizetype(sizeof(QChar)));
}

BENCHMARK(BM_Entities2Text_baseline)->RangeMultiplier(4)->Range(1024, 65536);
BENCHMARK(BM_WordProcessor)->RangeMultiplier(4)->Range(1024, 65536);
BENCHMARK(BM_WordProcessor_noSmileys)->RangeMultiplier(4)->Range(1024, 65536);
BENCHMARK_MAIN();
