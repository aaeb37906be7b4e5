#pragma once

#include "sensor/sources/RecordingReader.h"
#include "sensor/sources/ReplaySource.h"

#include <QString>

#include <chrono>
#include <cstdint>
#include <mutex>
#include <vector>

namespace camera {

// A recording replayed from go() on rather than from open() (frames would
// otherwise fall due before the caller has set up capture), slowdown times
// slower than recorded, noting the frames its readers take. The camera's
// newest-frame rule stays: a frame nobody takes before the next one falls
// due is lost.
class ReplayFromGo : public Source {
public:
    explicit ReplayFromGo(const QString &path, int slowdown = 1);

    // Reads the recording now; false when it cannot be read or holds no frame.
    bool load();
    // Starts the replay from its first frame and wakes the readers.
    void go();
    // Whether the replay has started and its last frame has fallen due.
    bool played();
    // The indices of the frames taken, in the order taken.
    std::vector<std::int64_t> taken();
    // The recording as load() or go() read it.
    const Recording &recording() const { return m_replay.recording(); }

    bool open() override { return true; }
    std::int64_t latestBodyFrame() override;
    void bodyFrame(std::int64_t index, BodyFrame &frame) override;
    std::chrono::nanoseconds timeToNextBodyFrame() override;

private:
    std::mutex m_mutex;
    const int m_slowdown;
    std::chrono::steady_clock::time_point m_start;
    ReplaySource m_replay;
    bool m_going = false;
    std::vector<std::int64_t> m_taken;
};

} // namespace camera
