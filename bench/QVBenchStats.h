#pragma once

#include <QList>
#include <QString>

#include <algorithm>
#include <cstdio>

// Median and 95th percentile of a sample, printed the same way by every benchmark.
struct QVBenchStats {
    double median = 0;
    double p95 = 0;
    int count = 0;

    static QVBenchStats of(QList<double> samples)
    {
        QVBenchStats stats;
        stats.count = int(samples.size());
        if (samples.isEmpty())
            return stats;
        std::sort(samples.begin(), samples.end());
        const auto at = [&](double q) { return samples.at(std::min(qsizetype(q * double(samples.size())), samples.size() - 1)); };
        stats.median = samples.size() % 2 ? samples.at(samples.size() / 2)
                                          : (samples.at(samples.size() / 2 - 1) + samples.at(samples.size() / 2)) / 2;
        stats.p95 = at(0.95);
        return stats;
    }

    void print(const char* label, const char* unit = "ms") const
    {
        std::printf("%-44s n=%-6d median %9.3f %s   p95 %9.3f %s\n", label, count, median, unit, p95, unit);
    }
};
