#pragma once

#include <chrono>
#include <functional>
#include <memory>

namespace camera {

// The time a source paces its frames by: a monotonic count of nanoseconds
// from an arbitrary origin. Sources read it on every poll.
using Clock = std::function<std::chrono::nanoseconds()>;

// The process's monotonic clock.
Clock steadyClock();

// A clock that moves only when told, so that tests and benchmarks step a
// source frame by frame without sleeping. Copies of clock() follow this
// object; it must outlive them.
class SteppedClock {
public:
    std::chrono::nanoseconds now() const { return m_now; }
    void advance(std::chrono::nanoseconds step) { m_now += step; }
    void set(std::chrono::nanoseconds time) { m_now = time; }
    Clock clock()
    {
        return [this] { return m_now; };
    }

private:
    std::chrono::nanoseconds m_now { 0 };
};

} // namespace camera
