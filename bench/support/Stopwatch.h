#pragma once

#include <time.h>

#include <chrono>
#include <functional>
#include <vector>

namespace bench {

// Wall-clock seconds since construction or the last restart().
class Stopwatch {
public:
    Stopwatch() { restart(); }
    void restart() { m_start = std::chrono::steady_clock::now(); }
    double seconds() const
    {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
    }

private:
    std::chrono::steady_clock::time_point m_start;
};

// The wall-clock seconds of each of `times` runs of work.
inline std::vector<double> timeRuns(int times, const std::function<void()> &work)
{
    std::vector<double> seconds;
    for (int i = 0; i < times; ++i) {
        Stopwatch watch;
        work();
        seconds.push_back(watch.seconds());
    }
    return seconds;
}

// The CPU seconds the calling thread spent in each of `times` runs of work.
// For work that runs on one thread, this estimates its time on an idle core
// better than the wall clock does on a shared machine.
inline std::vector<double> timeThreadCpuRuns(int times, const std::function<void()> &work)
{
    const auto now = [] {
        timespec t {};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
    };
    std::vector<double> seconds;
    for (int i = 0; i < times; ++i) {
        const double start = now();
        work();
        seconds.push_back(now() - start);
    }
    return seconds;
}

} // namespace bench
