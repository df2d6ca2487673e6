// Conversion throughput of realistic bodies with a 500-smiley catalogue, beside
// the baseline of copying the same bodies through Entities2Text alone.
#include "MarkupBodies.h"
#include "render/Markup.h"

#include <benchmark/benchmark.h>

using namespace Qt::StringLiterals;

namespace {

using orv::bench::body;
using orv::bench::catalogue;

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
