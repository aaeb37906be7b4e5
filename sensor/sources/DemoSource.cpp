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

namespace {

    // Frame k falls due at k / 30 s, rounded up to the nanosecond.
    constexpr std::int64_t nanosecondsPerThreeFrames = 100000000;

    std::int64_t dueNanoseconds(std::int64_t frame)
    {
        return frame / 3 * nanosecondsPerThreeFrames
            + (frame % 3 * nanosecondsPerThreeFrames + 2) / 3;
    }

    // The newest frame due elapsed nanoseconds after open(), -1 for none.
    std::int64_t frameDueAt(std::int64_t elapsed)
    {
        if (elapsed < 0)
            return -1;
        return elapsed / nanosecondsPerThreeFrames * 3
            + elapsed % nanosecondsPerThreeFrames * 3 / nanosecondsPerThreeFrames;
    }

} // namespace

std::int64_t DemoSource::latestFrame() const
{
    return frameDueAt((m_clock() - m_openedAt).count());
}

std::chrono::nanoseconds DemoSource::timeToNextFrame() const
{
    const std::int64_t elapsed = (m_clock() - m_openedAt).count();
    return std::chrono::nanoseconds(dueNanoseconds(frameDueAt(elapsed) + 1) - elapsed);
}

void DemoSource::bodyFrame(std::int64_t index, BodyFrame &frame)
{
    frame = BodyFrame();
    frame.bodies[0] = DemoOperator::body(index);
    frame.relativeTime = dueNanoseconds(index) / 100;
}

void DemoSource::colorFrame(std::int64_t index, ColorImage &image)
{
    if (m_scene)
        m_scene->render(DemoOperator::body(index), image);
}

} // namespace camera
