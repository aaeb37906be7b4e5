#include "testkit/ScriptedSource.h"

#include <utility>

namespace camera {

void ScriptedSource::pushBodyFrame(const BodyFrame &frame)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_queued) {
            m_bodyQueue.push_back(frame);
        } else {
            m_body.frame = frame;
            ++m_body.index;
        }
    }
    bodyFrameArrived();
}

void ScriptedSource::pushColorImage(ColorImage image)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_color.frame = std::move(image);
        ++m_color.index;
    }
    colorFrameArrived();
}

std::int64_t ScriptedSource::latestBodyFrame()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_bodyQueue.empty()) {
        m_body.frame = m_bodyQueue.front();
        m_bodyQueue.pop_front();
        ++m_body.index;
    }
    return m_body.index;
}

void ScriptedSource::bodyFrame(std::int64_t, BodyFrame &frame)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    frame = m_body.frame;
}

std::int64_t ScriptedSource::latestColorFrame()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_color.index;
}

void ScriptedSource::colorFrame(std::int64_t, ColorImage &image)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    image = m_color.frame;
}

} // namespace camera
