#pragma once

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

} // namespace bench
