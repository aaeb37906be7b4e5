#include "testkit/ReplayFromGo.h"

namespace camera {

ReplayFromGo::ReplayFromGo(const QString &path, int slowdown)
    : m_slowdown(slowdown)
    // The replay's clock runs from go(), slowed down; it is read only under
    // m_mutex, as m_start is written.
    , m_replay(path, [this] { return (std::chrono::steady_clock::now() - m_start) / m_slowdown; })
{
}

bool ReplayFromGo::load()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_replay.open() && !m_replay.recording().frames.empty();
}

void ReplayFromGo::go()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_start = std::chrono::steady_clock::now();
        m_going = m_replay.open();
    }
    bodyFrameArrived();
}

bool ReplayFromGo::played()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_going && m_replay.timeToNextBodyFrame() == noFrameDue;
}

std::vector<std::int64_t> ReplayFromGo::taken()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_taken;
}

std::int64_t ReplayFromGo::latestBodyFrame()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_going ? m_replay.latestBodyFrame() : -1;
}

void ReplayFromGo::bodyFrame(std::int64_t index, BodyFrame &frame)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_replay.bodyFrame(index, frame);
    m_taken.push_back(index);
}

std::chrono::nanoseconds ReplayFromGo::timeToNextBodyFrame()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_going)
        return noFrameDue;
    const std::chrono::nanoseconds recorded = m_replay.timeToNextBodyFrame();
    return recorded == noFrameDue ? recorded : recorded * m_slowdown;
}

} // namespace camera
