#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
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
// object; it must outlive them. It may be stepped on one thread and read on
// others.
class SteppedClock {
public:
    std::chrono::nanoseconds now() const { return std::chrono::nanoseconds(m_now.load()); }
    void advance(std::chrono::nanoseconds step) { m_now += step.count(); }
    void set(std::chrono::nanoseconds time) { m_now = time.count(); }
    Clock clock()
    {
        return [this] { return now(); };
    }

private:
    std::atomic<std::int64_t> m_now { 0 };
};

} // namespace camera
