// A large loopback download through the download window against `curl -o` on the same
// file, alternating, in one run: throughput ratio, memory growth over a 1 MB download, and
// the longest pause between two ticks of a 10 ms timer on the UI thread.
//
// Usage: bench_download [megabytes=200] [runs=5]

#include "../benchapp.h"
#include "loopback.h"
#include "net/fSHAREDInternet.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2.0;
}

// Peak resident memory of this process so far, in bytes.
qint64 peakMemory()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong() * 1024;
    }
    return 0;
}

struct Run {
    double seconds = 0;
    qint64 longestGapMs = 0;
    bool ok = false;
};

Run ours(const QString& url, const QString& file)
{
    fSHAREDInternet window;
    Run run;
    QEventLoop wait;
    QObject::connect(&window, &fSHAREDInternet::DownloadFinished, [&] {
        run.ok = true;
        wait.quit();
    });
    QObject::connect(&window, &fSHAREDInternet::DownloadError, [&](const QString& message) {
        std::fprintf(stderr, "download failed: %s\n", qPrintable(message));
        wait.quit();
    });
    QTimer ticker;
    ticker.setInterval(10);
    QElapsedTimer sinceTick;
    QObject::connect(&ticker, &QTimer::timeout,
                     [&] { run.longestGapMs = std::max(run.longestGapMs, sinceTick.restart()); });
    QElapsedTimer clock;
    clock.start();
    sinceTick.start();
    ticker.start();
    window.DownloadFile(url, file, true);
    wait.exec();
    run.seconds = double(clock.nsecsElapsed()) / 1e9;
    QFile::remove(file);
    return run;
}

Run reference(const QString& url, const QString& file)
{
    Run run;
    QElapsedTimer clock;
    clock.start();
    const int code = QProcess::execute(QStringLiteral("curl"), {"-s", "-o", file, url});
    run.seconds = double(clock.nsecsElapsed()) / 1e9;
    run.ok = code == 0;
    QFile::remove(file);
    return run;
}

} // namespace

int main(int argc, char** argv)
{
    benchapp::Application app(argc, argv);
    const QTemporaryDir& home = app.home;
    const qint64 megabytes = argc > 1 ? QByteArray(argv[1]).toLongLong() : 200;
    const int runs = argc > 2 ? QByteArray(argv[2]).toInt() : 5;

    HttpTestServer server;
    if (!server.ok()) {
        std::fprintf(stderr, "the loopback server did not start\n");
        return 2;
    }
    const QString big = server.url(QStringLiteral("/file?size=%1").arg(megabytes << 20));
    const QString file = home.filePath(QStringLiteral("download.bin"));

    // The baseline: what a 1 MB download leaves the process at.
    if (!ours(server.url(QStringLiteral("/file?size=%1").arg(1 << 20)), file).ok)
        return 2;
    const qint64 baseline = peakMemory();

    std::vector<double> oursTimes, curlTimes;
    qint64 longestGap = 0;
    for (int i = 0; i < runs; ++i) {
        // Alternate who goes first, so neither always meets a warmer cache.
        for (int turn = 0; turn < 2; ++turn) {
            if ((turn == 0) == (i % 2 == 0)) {
                const Run r = reference(big, file);
                if (!r.ok)
                    return 2;
                curlTimes.push_back(r.seconds);
            } else {
                const Run r = ours(big, file);
                if (!r.ok)
                    return 2;
                oursTimes.push_back(r.seconds);
                longestGap = std::max(longestGap, r.longestGapMs);
            }
        }
    }
    const double oursMedian = median(oursTimes), curlMedian = median(curlTimes);
    const double ratio = curlMedian / oursMedian;
    const double growthMb = double(peakMemory() - baseline) / double(1 << 20);
    const double mbPerSecond = double(megabytes) / oursMedian;

    std::printf("download of %lld MB, median of %d runs each\n", megabytes, runs);
    std::printf("  parlo  %7.3f s  (%.0f MB/s)\n", oursMedian, mbPerSecond);
    std::printf("  curl   %7.3f s  (%.0f MB/s)\n", curlMedian, double(megabytes) / curlMedian);
    const bool fast = ratio >= 0.8, small = growthMb <= 20.0, responsive = longestGap < 100;
    std::printf("throughput ratio parlo/curl  %.2f  (at least 0.80)  %s\n", ratio,
                fast ? "ok" : "TOO SLOW");
    std::printf("memory growth over 1 MB      %.1f MB  (at most 20)  %s\n", growthMb,
                small ? "ok" : "TOO MUCH");
    std::printf("longest UI timer gap         %lld ms  (under 100)  %s\n", longestGap,
                responsive ? "ok" : "TOO LONG");
    return fast && small && responsive ? 0 : 1;
}
