#include "sensor/sources/ReplaySource.h"

#include <QDebug>
#include <QFileInfo>

#include <utility>

namespace camera {

ReplaySource::ReplaySource(QString path, Clock clock)
    : m_path(std::move(path))
    , m_clock(std::move(clock))
{
}

bool ReplaySource::isRecordingPath(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == QLatin1String("csv") || suffix == QLatin1String("skeleton");
}

bool ReplaySource::open()
{
    if (!m_loaded) {
        m_recording = readRecording(m_path);
        m_loaded = true;
        if (!m_recording.readable) {
            qWarning().noquote() << QStringLiteral("replay: %1").arg(m_recording.error);
        } else if (!m_recording.error.isEmpty()) {
            // The message quotes the file, which may hold a "%1" of its own.
            qWarning().noquote() << QStringLiteral("replay: %1; replaying the %2 frames before it")
                                        .arg(m_recording.error,
                                            QString::number(m_recording.frames.size()));
        }
    }
    if (!m_recording.readable)
        return false;
    m_openedAt = m_clock();
    m_nextFrame = 0;
    return true;
}

std::int64_t ReplaySource::advance()
{
    const std::int64_t elapsed = (m_clock() - m_openedAt).count();
    const std::vector<Recording::Frame> &frames = m_recording.frames;
    while (m_nextFrame < frames.size() && frames[m_nextFrame].dueNanoseconds <= elapsed)
        ++m_nextFrame;
    return elapsed;
}

std::int64_t ReplaySource::latestBodyFrame()
{
    advance();
    return static_cast<std::int64_t>(m_nextFrame) - 1;
}

std::chrono::nanoseconds ReplaySource::timeToNextBodyFrame()
{
    const std::int64_t elapsed = advance();
    // Played to the end: nothing more falls due.
    if (m_nextFrame >= m_recording.frames.size())
        return noFrameDue;
    return std::chrono::nanoseconds(m_recording.frames[m_nextFrame].dueNanoseconds - elapsed);
}

void ReplaySource::bodyFrame(std::int64_t index, BodyFrame &frame)
{
    frame = BodyFrame();
    if (index < 0 || index >= static_cast<std::int64_t>(m_recording.frames.size()))
        return;
    const Recording::Frame &recorded = m_recording.frames[static_cast<std::size_t>(index)];
    frame.relativeTime = recorded.dueNanoseconds / 100;
    for (int b = 0; b < recorded.bodyCount; ++b) {
        const auto body = static_cast<std::size_t>(recorded.firstBody + b);
        frame.bodies[static_cast<std::size_t>(m_recording.bodySlots[body])] = m_recording.bodies[body];
    }
}

} // namespace camera
