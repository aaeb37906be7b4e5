#pragma once

#include "sensor/sources/Clock.h"
#include "sensor/sources/RecordingReader.h"
#include "sensor/sources/Source.h"

#include <QString>

namespace camera {

// Plays a body-tracking recording once at its recorded pace, then delivers no
// new frames; no colour. The file is read and checked on the first open():
// a fault is reported on standard error with file, line and what was
// expected, and the frames before it still play. A file that cannot be read
// at all is no camera.
class ReplaySource : public Source {
public:
    explicit ReplaySource(QString path, Clock clock = steadyClock());

    // Whether path names a recording this source can play (by its suffix).
    static bool isRecordingPath(const QString &path);

    bool open() override;
    std::int64_t latestBodyFrame() override;
    void bodyFrame(std::int64_t index, BodyFrame &frame) override;
    std::chrono::nanoseconds timeToNextBodyFrame() override;

    // The recording as read by open(); empty before.
    const Recording &recording() const { return m_recording; }

private:
    // Nanoseconds since open(), with m_nextFrame moved past every frame due.
    std::int64_t advance();

    QString m_path;
    Clock m_clock;
    Recording m_recording;
    bool m_loaded = false;
    std::chrono::nanoseconds m_openedAt { 0 };
    // The first frame not yet due.
    std::size_t m_nextFrame = 0;
};

} // namespace camera
