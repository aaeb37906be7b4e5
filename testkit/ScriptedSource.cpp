#include "testkit/ScriptedSource.h"

#include <utility>

namespace camera {

void ScriptedSource::pushBodyFrame(const BodyFrame &frame)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bodyFrame = frame;
        ++m_bodyFramesPushed;
    }
    bodyFrameArrived();
}

void ScriptedSource::pushColorImage(ColorImage image)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_colorImage = std::move(image);
        ++m_colorFramesPushed;
    }
    colorFrameArrived();
}

std::int64_t ScriptedSource::latestBodyFrame()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bodyFramesPushed - 1;
}

void ScriptedSource::bodyFrame(std::int64_t, BodyFrame &frame)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    frame = m_bodyFrame;
}

std::int64_t ScriptedSource::latestColorFrame()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_colorFramesPushed - 1;
}

void ScriptedSource::colorFrame(std::int64_t, ColorImage &image)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    image = m_colorImage;
}

} // namespace camera
