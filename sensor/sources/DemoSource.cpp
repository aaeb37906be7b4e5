#include "sensor/sources/DemoSource.h"

#include "sensor/sources/DemoOperator.h"

#include <utility>

namespace camera {

DemoSource::DemoSource(Clock clock)
    : m_clock(std::move(clock))
{
}

DemoSource::~DemoSource() = default;

bool DemoSource::open()
{
    if (!m_scene)
        m_scene = std::make_unique<DemoScene>();
    m_openedAt = m_clock();
    return true;
}

std::int64_t DemoSource::latestFrame() const
{
    const std::int64_t elapsed = (m_clock() - m_openedAt).count();
    if (elapsed < 0)
        return -1;
    // Frame k falls due at k / 30 s.
    constexpr std::int64_t nanosecondsPerThreeFrames = 100000000;
    return elapsed / nanosecondsPerThreeFrames * 3
        + elapsed % nanosecondsPerThreeFrames * 3 / nanosecondsPerThreeFrames;
}

void DemoSource::bodyFrame(std::int64_t index, BodyFrame &frame)
{
    frame = BodyFrame();
    frame.bodies[0] = DemoOperator::body(index);
}

void DemoSource::colorFrame(std::int64_t index, ColorImage &image)
{
    if (m_scene)
        m_scene->render(DemoOperator::body(index), image);
}

} // namespace camera
