#pragma once

#include <QElapsedTimer>

#include <algorithm>
#include <vector>

// Median of a list of timings.
inline double median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : (values[mid - 1] + values[mid]) / 2.0;
}

// Microseconds one call of f takes, median of runs.
template <typename F> double medianMicros(int runs, F&& f)
{
    std::vector<double> times;
    times.reserve(size_t(runs));
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        f();
        times.push_back(double(timer.nsecsElapsed()) / 1000.0);
    }
    return median(std::move(times));
}
