// The first receive of a new working folder, end to end with the real
// programs: the stand-in seeded with that many posts (and about ten comments
// each) and `orv-cli receive`, timed from outside. Prints the wall time, the
// client's CPU time and its peak memory beside the goals of a 2-core machine.
// Usage: bench_first_receive [--small | POSTS...]   (default: 2000 and 20000)
#include "BenchSupport.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <sys/resource.h>

using namespace Qt::StringLiterals;

namespace {

QTextStream out(stdout);

using orv::bench::cli;
using orv::bench::cpuSeconds;

bool firstReceive(int posts) {
    QProcess standin;
    const QString url = orv::bench::startStandin(standin, posts);
    QTemporaryDir dir;
    const bool ready = !url.isEmpty() &&
                       cli(dir.path(), url, {u"set"_s, u"UserName"_s, u"demo"_s}) &&
                       cli(dir.path(), url, {u"set"_s, u"Password"_s, u"demo"_s}) &&
                       cli(dir.path(), url, {u"set"_s, u"MaxPost"_s, u"1000000"_s});
    // Only the receive is reaped between the two readings.
    rusage before{};
    getrusage(RUSAGE_CHILDREN, &before);
    bool received = false;
    const double wall =
        orv::bench::seconds([&] { received = ready && cli(dir.path(), url, {u"receive"_s}); });
    rusage after{};
    getrusage(RUSAGE_CHILDREN, &after);
    standin.kill();
    standin.waitForFinished();
    out << u"first receive of %1 posts: wall %2 s, client CPU %3 s, client peak memory %4 MB%5\n"_s
               .arg(posts)
               .arg(wall, 0, 'f', 2)
               .arg(cpuSeconds(after) - cpuSeconds(before), 0, 'f', 2)
               .arg(after.ru_maxrss / 1024)
               .arg(received ? QString() : u" (FAILED)"_s);
    out.flush();
    return received;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QStringList sizes = app.arguments().mid(1);
    if (sizes.contains(u"--small"_s)) {
        sizes = {u"20"_s};
    } else if (sizes.isEmpty()) {
        out << u"goals: 2,000 posts under 1.0 s of client CPU; 20,000 posts under 20 s wall, "
               u"10 s client CPU and 100 MB\n"_s;
        sizes = {u"2000"_s, u"20000"_s};
    }
    bool all = true;
    for (const QString& size : sizes) {
        all = firstReceive(size.toInt()) && all;
    }
    return all ? 0 : 1;
}
