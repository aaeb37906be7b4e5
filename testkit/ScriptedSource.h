#pragma once

#include "sensor/sources/Source.h"

#include <atomic>
#include <deque>
#include <mutex>

namespace camera {

// A source that delivers exactly what its owner hands it, for tests and
// tools that script the camera frame by frame. A pushed frame is due at once
// and wakes the readers waiting for one; pushing several between two
// acquires leaves only the newest, as with a real camera, unless body frames
// are queued. Has no clock. Its owner may push on one thread while readers
// take frames on others.
class ScriptedSource : public Source {
public:
    // Whether open() succeeds (a camera is attached); true unless told.
    void setOpenSucceeds(bool succeeds) { m_openSucceeds = succeeds; }
    // Whether pushed body frames queue up and are handed out in order, one
    // per look, none lost (as a source of frames from the network may keep
    // them); false unless told, before the first push.
    void setQueued(bool queued) { m_queued = queued; }

    void pushBodyFrame(const BodyFrame &frame);
    void pushColorImage(ColorImage image);

    bool open() override { return m_openSucceeds; }
    std::int64_t latestBodyFrame() override;
    void bodyFrame(std::int64_t index, BodyFrame &frame) override;
    std::int64_t latestColorFrame() override;
    void colorFrame(std::int64_t index, ColorImage &image) override;

private:
    // What a stream delivers now, and its index: -1 before the first frame.
    template <class Frame> struct Delivered {
        Frame frame;
        std::int64_t index = -1;
    };

    std::mutex m_mutex;
    std::atomic<bool> m_openSucceeds { true };
    bool m_queued = false;
    Delivered<BodyFrame> m_body;
    // Queued body frames not yet looked at.
    std::deque<BodyFrame> m_bodyQueue;
    Delivered<ColorImage> m_color;
};

} // namespace camera
