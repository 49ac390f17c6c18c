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

// Wall-clock and processor times of repeated runs of one piece of work. On a machine
// shared with other work the processor time is the steadier figure.
class Samples {
public:
    void time(const std::function<void()>& work)
    {
        QElapsedTimer timer;
        timer.start();
        const double cpuStart = cpuSeconds();
        work();
        m_cpus.push_back(cpuSeconds() - cpuStart);
        m_walls.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e9);
    }
    Timing median() const { return {middle(m_walls), middle(m_cpus)}; }

private:
    static double middle(std::vector<double> values)
    {
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    }
    std::vector<double> m_walls;
    std::vector<double> m_cpus;
};

// The median of the runs of work. prepare and finish run outside the measurement (a fresh
// copy of the input, freeing the result).
inline Timing median(int runs, const std::function<void()>& work,
                     const std::function<void()>& prepare = {},
                     const std::function<void()>& finish = {})
{
    Samples samples;
    for (int i = 0; i < runs; ++i) {
        if (prepare)
            prepare();
        samples.time(work);
        if (finish)
            finish();
    }
    return samples.median();
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
    Samples samples[2];
    for (int i = 0; i < runs; ++i) {
        for (int which = 0; which < 2; ++which) {
            samples[which].time(which == 0 ? once : eight);
            if (finish)
                finish();
        }
    }
    return {samples[0].median(), samples[1].median()};
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
