#pragma once

#include "sensor/sources/Source.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <vector>

namespace camera {

// What a WatchedSource notes of each body frame its readers take, unless
// told otherwise: the frame's index and when it was taken.
struct TakenFrame {
    std::int64_t index = 0;
    std::chrono::steady_clock::time_point at;

    static TakenFrame of(
        std::int64_t index, const BodyFrame &, std::chrono::steady_clock::time_point at)
    {
        return TakenFrame { index, at };
    }
};

// A source of kind Base (with Base's constructors) that notes what its
// readers ask of it: how often each stream looked for a new frame, the
// newest body frame it reported due, when it was opened, and a Note of every
// body frame taken, made by Note::of(index, frame, time taken). For tests and
// benchmarks that check or time the sensor's polling: the readers' threads
// call it while its owner reads what it noted.
template <class Base, class Note = TakenFrame> class WatchedSource : public Base {
public:
    using Base::Base;

    std::atomic<int> bodyLooks { 0 };
    std::atomic<int> colorLooks { 0 };
    std::atomic<int> bodyFramesTaken { 0 };

    // The newest body frame latestBodyFrame() returned; -1 before.
    std::int64_t latestDue() const { return m_latestDue; }
    std::chrono::steady_clock::time_point openedAt()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_openedAt;
    }
    // What was noted of the body frames taken, in the order taken.
    std::vector<Note> taken()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_taken;
    }

    bool open() override
    {
        const bool opened = Base::open();
        std::lock_guard<std::mutex> lock(m_mutex);
        m_openedAt = std::chrono::steady_clock::now();
        return opened;
    }
    std::int64_t latestBodyFrame() override
    {
        ++bodyLooks;
        const std::int64_t latest = Base::latestBodyFrame();
        m_latestDue = std::max<std::int64_t>(m_latestDue, latest);
        return latest;
    }
    std::int64_t latestColorFrame() override
    {
        ++colorLooks;
        return Base::latestColorFrame();
    }
    void bodyFrame(std::int64_t index, BodyFrame &frame) override
    {
        Base::bodyFrame(index, frame);
        const Note note = Note::of(index, frame, std::chrono::steady_clock::now());
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_taken.push_back(note);
        }
        ++bodyFramesTaken;
    }

private:
    std::mutex m_mutex;
    std::chrono::steady_clock::time_point m_openedAt;
    std::atomic<std::int64_t> m_latestDue { -1 };
    std::vector<Note> m_taken;
};

} // namespace camera
