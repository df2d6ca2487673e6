#pragma once

#include "AppContext.h"
#include "app/UserPrompts.h"
#include "store/SettingsStore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <functional>
#include <sys/resource.h>
#include <unistd.h>

// What the benchmarks share: prompts nobody answers, the clock, the peak
// memory, and the stand-in service as a process of its own, so that only the
// client is measured.
namespace orv::bench {

class SilentPrompts : public UserPrompts {
public:
    bool askYesNo(const QString&, const QString&) override { return true; }
    void inform(const QString&, const QString&, Icon) override {}
    void showText(const QString&, const QString&) override {}
    std::optional<QString> askText(const QString&, const QString&) override { return {}; }
};

inline long peakMemoryMb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

// Memory the program holds now, in MB; -1 where that cannot be read.
inline long residentMb() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly)) {
        return -1;
    }
    return statm.readAll().split(' ').value(1).toLong() * sysconf(_SC_PAGESIZE) / (1024 * 1024);
}

// The store of the tree benchmarks: 100,000 posts in 500 diaries and 300,000
// comments (400,505 nodes), or a hundredth of it for a smoke run.
struct TreeStoreSize {
    int posts = 100000;
    int diaries = 500;
    int comments = 300000;

    static TreeStoreSize of(const QStringList& arguments) {
        if (arguments.contains(QStringLiteral("--small"))) {
            return {1000, 10, 3000};
        }
        return {};
    }
};

// The window benchmarks draw offscreen unless told otherwise.
inline void drawOffscreenUnlessTold() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
}

inline double seconds(const std::function<void()>& work) {
    QElapsedTimer clock;
    clock.start();
    work();
    return double(clock.nsecsElapsed()) / 1e9;
}

// CPU time, user and system, of a resource usage.
inline double cpuSeconds(const rusage& usage) {
    const auto seconds = [](const timeval& t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// CPU time of this process so far, all its threads.
inline double processCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return cpuSeconds(usage);
}

// The CPU time of all this program's threads while the work runs.
inline double processCpuSecondsOf(const std::function<void()>& work) {
    const double before = processCpuSeconds();
    work();
    return processCpuSeconds() - before;
}

// Runs orv-cli beside this program on the folder and service with the
// arguments; false when it failed.
inline bool cli(const QString& folder, const QString& url, const QStringList& arguments) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(
        QCoreApplication::applicationDirPath() + QStringLiteral("/orv-cli"),
        QStringList{QStringLiteral("--folder"), folder, QStringLiteral("--service"), url} +
            arguments);
    return process.waitForFinished(-1) && process.exitCode() == 0;
}

// Starts the stand-in with a data set of that many posts; its address, or ""
// when it did not start.
inline QString startStandin(QProcess& process, int posts, const QStringList& more = {}) {
    process.start(
        QCoreApplication::applicationDirPath() + QStringLiteral("/kordenet-standin"),
        QStringList{QStringLiteral("--seed"), QString::number(posts), QStringLiteral("--quiet")} +
            more);
    process.waitForReadyRead(30000);
    return QRegularExpression(QStringLiteral("http://127\\.0\\.0\\.1:\\d+"))
        .match(QString::fromUtf8(process.readAllStandardOutput()))
        .captured();
}

// A client on the stand-in's demo account, its store opened in its folder.
inline void connectTo(AppContext& ctx, const QString& url) {
    ctx.folder.ensureTmpFolder();
    ctx.db.open();
    SettingsStore(ctx.db, ctx.log).ReadINI(ctx.settings);
    ctx.settings.UserName = QStringLiteral("demo");
    ctx.settings.Password = QStringLiteral("demo");
    ctx.settings.ServiceURL = url;
}

} // namespace orv::bench
