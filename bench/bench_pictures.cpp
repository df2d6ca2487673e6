// A first receive whose posts name pictures, end to end with the real
// programs (the stand-in serving the pictures on loopback, `orv-cli receive`),
// beside the same receive without pictures: wall time, client CPU and peak
// memory of each, best of a few runs, the two arms alternated.
// Usage: bench_pictures [--small]   (default: 2,000 posts and 5,000 pictures)
#include "BenchSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

QTextStream out(stdout);

using orv::bench::cli;
using orv::bench::cpuSeconds;

// The receive alone, in a child of its own, so that its CPU time and peak
// memory are its own.
struct Run {
    bool ok = false;
    double cpu = 0;
    long peakMb = 0;
};

Run measuredReceive(const QString& folder, const QString& url) {
    const QByteArray program =
        (QCoreApplication::applicationDirPath() + u"/orv-cli"_s).toLocal8Bit();
    const QList<QByteArray> args = {program,     "--folder",        folder.toLocal8Bit(),
                                    "--service", url.toLocal8Bit(), "receive"};
    std::vector<char*> argv;
    for (const QByteArray& arg : args) {
        argv.push_back(const_cast<char*>(arg.constData()));
    }
    argv.push_back(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        freopen("/dev/null", "w", stdout);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child) {
        return {};
    }
    return {WIFEXITED(status) && WEXITSTATUS(status) == 0, cpuSeconds(usage),
            usage.ru_maxrss / 1024};
}

struct Figures {
    double wall = 1e9;
    double cpu = 1e9;
    long peakMb = 0;
    qsizetype kept = 0;
    bool ok = true;
};

// One receive into a new folder; the best figures of the arm are kept.
void receive(int posts, int pictures, Figures& best) {
    QProcess standin;
    const QString url =
        orv::bench::startStandin(standin, posts, {u"--pictures"_s, QString::number(pictures)});
    QTemporaryDir dir;
    const bool ready = !url.isEmpty() &&
                       cli(dir.path(), url, {u"set"_s, u"UserName"_s, u"demo"_s}) &&
                       cli(dir.path(), url, {u"set"_s, u"Password"_s, u"demo"_s}) &&
                       cli(dir.path(), url, {u"set"_s, u"MaxPost"_s, u"1000000"_s});
    Run run;
    const double wall = orv::bench::seconds([&] {
        if (ready) {
            run = measuredReceive(dir.path(), url);
        }
    });
    standin.kill();
    standin.waitForFinished();
    best.wall = std::min(best.wall, wall);
    best.cpu = std::min(best.cpu, run.cpu);
    best.peakMb = std::max(best.peakMb, run.peakMb);
    best.kept = QDir(dir.filePath(u"pictures"_s)).entryList(QDir::Files).size();
    best.ok = best.ok && run.ok && best.kept == pictures;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const bool small = app.arguments().contains(u"--small"_s);
    const int posts = small ? 20 : 2000;
    const int pictures = small ? 50 : 5000;
    const int rounds = small ? 1 : 3;
    Figures plain;
    Figures withPictures;
    for (int round = 0; round < rounds; ++round) {
        receive(posts, 0, plain);
        receive(posts, pictures, withPictures);
    }
    out << u"receive of %1 posts, best of %2:\n"_s.arg(posts).arg(rounds);
    out << u"  without pictures:      wall %1 s, client CPU %2 s, peak memory %3 MB\n"_s
               .arg(plain.wall, 0, 'f', 2)
               .arg(plain.cpu, 0, 'f', 2)
               .arg(plain.peakMb);
    out << u"  with %1 pictures:       wall %2 s (%3x), client CPU %4 s (%5x), peak memory %6 MB, "
           u"%7 kept\n"_s.arg(pictures)
               .arg(withPictures.wall, 0, 'f', 2)
               .arg(withPictures.wall / plain.wall, 0, 'f', 2)
               .arg(withPictures.cpu, 0, 'f', 2)
               .arg(withPictures.cpu / plain.cpu, 0, 'f', 2)
               .arg(withPictures.peakMb)
               .arg(withPictures.kept);
    return plain.ok && withPictures.ok ? 0 : 1;
}
