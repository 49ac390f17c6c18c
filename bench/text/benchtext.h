#pragma once

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QString>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

// Shared by the text benchmarks: medians of repeated runs, and the linearity check that
// compares eight times the input with the input itself in the same process.
namespace benchtext {

constexpr qsizetype kTarget = 5 * 1024 * 1024;

struct Timing {
    double wall = 0; // seconds, median
    double cpu = 0;  // seconds of this process's processor time, median
};

inline double cpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// Wall-clock and processor time of work, each the median of the runs. On a machine shared
// with other work the processor time is the steadier figure. prepare and finish run
// outside the measurement (a fresh copy of the input, freeing the result).
inline Timing median(int runs, const std::function<void()>& work,
                     const std::function<void()>& prepare = {},
                     const std::function<void()>& finish = {})
{
    std::vector<double> walls;
    std::vector<double> cpus;
    for (int i = 0; i < runs; ++i) {
        if (prepare)
            prepare();
        QElapsedTimer timer;
        timer.start();
        const double cpuStart = cpuSeconds();
        work();
        cpus.push_back(cpuSeconds() - cpuStart);
        walls.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e9);
        if (finish)
            finish();
    }
    std::sort(walls.begin(), walls.end());
    std::sort(cpus.begin(), cpus.end());
    return {walls[walls.size() / 2], cpus[cpus.size() / 2]};
}

struct Pair {
    Timing once;
    Timing eight;
};

// The input and eight times the input measured in turns, so that a change in the load of
// a shared machine during the runs falls on both alike.
inline Pair alternating(int runs, const std::function<void()>& once,
                        const std::function<void()>& eight,
                        const std::function<void()>& finish = {})
{
    std::vector<double> walls[2];
    std::vector<double> cpus[2];
    for (int i = 0; i < runs; ++i) {
        for (int which = 0; which < 2; ++which) {
            QElapsedTimer timer;
            timer.start();
            const double cpuStart = cpuSeconds();
            (which == 0 ? once : eight)();
            cpus[which].push_back(cpuSeconds() - cpuStart);
            walls[which].push_back(static_cast<double>(timer.nsecsElapsed()) / 1e9);
            if (finish)
                finish();
        }
    }
    auto mid = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    return {{mid(walls[0]), mid(cpus[0])}, {mid(walls[1]), mid(cpus[1])}};
}

// The folder of real books, when this machine has one.
inline QString corpusDir()
{
    const QString dir = qEnvironmentVariable("PARLO_CORPUS", QStringLiteral("/work/shared/corpus"));
    return QDir(dir).exists() ? dir : QString();
}

inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Prints the figures and returns the process exit code: 0 when eight times the input takes
// less than ten times as long as the input (processor time) and the input is done in
// under a second. referenceRatio (0 for none) is what the same growth costs a reference
// the caller measured, printed beside the ratio for comparison.
inline int report(const char* what, qsizetype bytes, const Timing& once, const Timing& eight,
                  double referenceRatio = 0)
{
    const double mb = static_cast<double>(bytes) / (1024.0 * 1024.0);
    std::printf("%s: %.2f MB in %.3f s wall, %.3f s cpu (%.1f MB/s, medians)\n", what, mb,
                once.wall, once.cpu, mb / once.wall);
    std::printf("%s: 8x input (%.2f MB) in %.3f s wall, %.3f s cpu\n", what, mb * 8, eight.wall,
                eight.cpu);
    const double cpuRatio = eight.cpu / once.cpu;
    std::printf("%s: ratio 8x/1x = %.2f cpu, %.2f wall (linear is 8, limit 10)", what, cpuRatio,
                eight.wall / once.wall);
    if (referenceRatio > 0)
        std::printf("; the reference's own ratio %.2f", referenceRatio);
    std::printf("\n");
    const bool ok = cpuRatio < 10.0 && once.wall < 1.0;
    std::printf("%s: %s\n", what, ok ? "PASS" : "FAIL");
    return ok ? 0 : 1;
}

} // namespace benchtext
