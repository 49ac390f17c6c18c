#pragma once

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QString>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

// Shared by the text benchmarks: medians of repeated runs, and the linearity check that
// compares eight times the input with the input itself in the same process.
namespace benchtext {

constexpr qsizetype kTarget = 5 * 1024 * 1024;

inline double medianSeconds(int runs, const std::function<void()>& work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e9);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
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

// Prints the figures and returns the process exit code: 0 when the 8x run stays under ten
// times the single one and a single run stays under a second.
inline int report(const char* what, qsizetype bytes, double once, double eightTimes)
{
    const double mb = static_cast<double>(bytes) / (1024.0 * 1024.0);
    const double ratio = eightTimes / once;
    std::printf("%s: %.2f MB in %.3f s (%.1f MB/s, median)\n", what, mb, once, mb / once);
    std::printf("%s: 8x input (%.2f MB) in %.3f s; ratio 8x/1x = %.2f (linear is 8, limit 10)\n",
                what, mb * 8, eightTimes, ratio);
    const bool ok = ratio < 10.0 && once < 1.0;
    std::printf("%s: %s\n", what, ok ? "PASS" : "FAIL");
    return ok ? 0 : 1;
}

} // namespace benchtext
