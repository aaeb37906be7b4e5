#pragma once

#include "sensor/sources/Source.h"

#include <atomic>
#include <mutex>

namespace camera {

// A source that delivers exactly what its owner hands it, for tests and
// tools that script the camera frame by frame. A pushed frame is due at once
// and wakes the readers waiting for one; pushing several between two
// acquires leaves only the newest, as with a real camera. Has no clock. Its
// owner may push on one thread while readers take frames on others.
class ScriptedSource : public Source {
public:
    // Whether open() succeeds (a camera is attached); true unless told.
    void setOpenSucceeds(bool succeeds) { m_openSucceeds = succeeds; }

    void pushBodyFrame(const BodyFrame &frame);
    void pushColorImage(ColorImage image);

    bool open() override { return m_openSucceeds; }
    std::int64_t latestBodyFrame() override;
    void bodyFrame(std::int64_t index, BodyFrame &frame) override;
    std::int64_t latestColorFrame() override;
    void colorFrame(std::int64_t index, ColorImage &image) override;

private:
    std::mutex m_mutex;
    std::atomic<bool> m_openSucceeds { true };
    BodyFrame m_bodyFrame;
    std::int64_t m_bodyFramesPushed = 0;
    ColorImage m_colorImage;
    std::int64_t m_colorFramesPushed = 0;
};

} // namespace camera
