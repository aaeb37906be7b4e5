#include "sensor/sources/ScriptedSource.h"

#include <utility>

namespace camera {

void ScriptedSource::pushBodyFrame(const BodyFrame &frame)
{
    m_bodyFrame = frame;
    ++m_bodyFramesPushed;
}

void ScriptedSource::pushColorImage(ColorImage image)
{
    m_colorImage = std::move(image);
    ++m_colorFramesPushed;
}

void ScriptedSource::bodyFrame(std::int64_t, BodyFrame &frame) { frame = m_bodyFrame; }

void ScriptedSource::colorFrame(std::int64_t, ColorImage &image) { image = m_colorImage; }

} // namespace camera
