// Bodies written to be slow to convert (tags left open, nested or closed far
// away, runs of smiley codes, one endless word), each beside a plain body of
// the same length timed in the same run. Conversion must stay linear: the
// ratio to the plain body stays small and the time about doubles when the
// body does.
#include "BenchSupport.h"
#include "MarkupBodies.h"
#include "render/Markup.h"

#include <algorithm>
#include <cstdio>

using namespace Qt::StringLiterals;
using namespace orv;

namespace {

struct Hostile {
    const char* name;
    int units; // of the largest body; the smaller ones have a half and a quarter
    QString (*make)(int units);
};

QString repeated(QStringView unit, int times) {
    return unit.toString().repeated(times);
}

const Hostile kHostile[] = {
    {"unclosed [url]", 40000, [](int n) -> QString { return repeated(u"[url]", n); }},
    {"unclosed [url=", 40000, [](int n) -> QString { return repeated(u"[url=x", n); }},
    {"nested [url=", 40000,
     [](int n) -> QString {
         return repeated(u"[url=", n) + repeated(u"]", n) + repeated(u"[/url]", n);
     }},
    {"closed [url]", 40000, [](int n) -> QString { return repeated(u"[url]a[/url]", n); }},
    {"closed [url=", 40000, [](int n) -> QString { return repeated(u"[url=a]b[/url]", n); }},
    {"closers far away", 40000,
     [](int n) -> QString { return repeated(u"[url]a[/URL]", n) + repeated(u"[/url]", n); }},
    {"open [b] [QUOTE [user=", 40000,
     [](int n) -> QString { return repeated(u"[b][QUOTE[user=", n); }},
    {"[more= without ]", 40000, [](int n) -> QString { return repeated(u"[more=", n); }},
    {"smiley codes", 100000, [](int n) -> QString { return repeated(u":)", n); }},
    {"one word of 1 MB", 1000000, [](int n) -> QString { return repeated(u"a", n); }},
};

// Best of a few runs, so that the noise of a busy machine falls out.
double bestSeconds(const QString& text, const std::vector<Smiley>& smileys, int runs) {
    double best = 1e9;
    for (int run = 0; run < runs; ++run) {
        best = std::min(best, bench::seconds([&] { Markup::WordProcessor(text, smileys); }));
    }
    return best;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const bool small = app.arguments().contains(u"--small"_s);
    const int runs = small ? 1 : 3;
    const auto smileys = bench::catalogue();
    std::printf("%-24s %8s %9s %10s %10s %7s %7s\n", "body", "units", "chars", "time ms",
                "plain ms", "ratio", "growth");
    for (const Hostile& hostile : kHostile) {
        double previous = 0;
        for (const int divisor : {4, 2, 1}) {
            const int units = hostile.units / divisor / (small ? 100 : 1);
            const QString text = hostile.make(units);
            const double time = bestSeconds(text, smileys, runs);
            const double plain = bestSeconds(bench::body(text.size()), smileys, runs);
            std::printf("%-24s %8d %9lld %10.2f %10.2f %6.1fx", hostile.name, units,
                        static_cast<long long>(text.size()), time * 1e3, plain * 1e3, time / plain);
            if (previous > 0) {
                std::printf(" %6.2fx", time / previous);
            }
            std::printf("\n");
            std::fflush(stdout);
            previous = time;
        }
    }
    return 0;
}
