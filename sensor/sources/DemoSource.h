#pragma once

#include "sensor/sources/Clock.h"
#include "sensor/sources/DemoScene.h"
#include "sensor/sources/Source.h"

#include <memory>

namespace camera {

// The built-in demonstration camera: the DemoOperator's body frames and
// DemoScene's colour frames (YUY2, 1920 x 1080), both at 30 Hz on the given
// clock, frame 0 at open().
class DemoSource : public Source {
public:
    explicit DemoSource(Clock clock = steadyClock());
    ~DemoSource() override;

    bool open() override;
    std::int64_t latestBodyFrame() override { return latestFrame(); }
    void bodyFrame(std::int64_t index, BodyFrame &frame) override;
    std::int64_t latestColorFrame() override { return latestFrame(); }
    void colorFrame(std::int64_t index, ColorImage &image) override;
    std::chrono::nanoseconds timeToNextBodyFrame() override { return timeToNextFrame(); }
    std::chrono::nanoseconds timeToNextColorFrame() override { return timeToNextFrame(); }

private:
    std::int64_t latestFrame() const;
    std::chrono::nanoseconds timeToNextFrame() const;

    Clock m_clock;
    std::chrono::nanoseconds m_openedAt { 0 };
    // Rendered on the first open(), so that choosing the source costs nothing.
    std::unique_ptr<DemoScene> m_scene;
};

} // namespace camera
