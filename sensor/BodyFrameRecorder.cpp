#include "sensor/BodyFrameRecorder.h"

#include "sensor/sources/RecordingWriter.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace Kinect {

namespace {

    // A frame's spacing at 30 Hz, in units of 100 ns: the step a source that
    // starts again is given after the last frame written.
    constexpr TIMESPAN nominalFrameSpacing = 333333;
    // How often, in frame time, the recorder looks whether its file is still
    // where it was: writes to a file whose folder was deleted succeed, into
    // a file nobody can open any more.
    constexpr TIMESPAN existenceCheckSpacing = 10000000;

} // namespace

BodyFrameRecorder::~BodyFrameRecorder() { close(); }

bool BodyFrameRecorder::open(const QString &fileName, QString *error)
{
    close();
    m_file.setFileName(fileName);
    m_framesWritten = 0;
    m_timeOffset = 0;
    m_lastTimestamp = -1;
    m_lastExistenceCheck = 0;
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) {
        if (error)
            *error = QStringLiteral("Cannot record body frames to %1: %2")
                         .arg(QDir::toNativeSeparators(fileName), m_file.errorString());
        return false;
    }
    return true;
}

bool BodyFrameRecorder::append(const camera::BodyFrame &frame, QString *error)
{
    if (!m_file.isOpen())
        return false;
    if (frame.relativeTime + m_timeOffset <= m_lastTimestamp)
        m_timeOffset = m_lastTimestamp + nominalFrameSpacing - frame.relativeTime;
    const TIMESPAN timestamp = std::max<TIMESPAN>(0, frame.relativeTime + m_timeOffset);
    m_lines.clear();
    camera::appendCsvRecordingLines(m_lines, frame, timestamp);
    const qint64 before = m_file.pos();
    QString reason;
    if (timestamp - m_lastExistenceCheck >= existenceCheckSpacing) {
        m_lastExistenceCheck = timestamp;
        if (!QFileInfo::exists(m_file.fileName()))
            reason = QStringLiteral("the file is gone");
    }
    if (reason.isEmpty() && m_file.write(m_lines) == m_lines.size() && m_file.flush()) {
        m_lastTimestamp = timestamp;
        ++m_framesWritten;
        return true;
    }
    if (reason.isEmpty())
        reason = m_file.errorString();
    m_file.close();
    // What reached the disk of this frame goes, so that the file ends with
    // a whole frame.
    QFile::resize(m_file.fileName(), before);
    if (error)
        *error = QStringLiteral("Recording body frames to %1 stopped: %2; the %3 frames before "
                                "are kept")
                     .arg(QDir::toNativeSeparators(m_file.fileName()), reason)
                     .arg(m_framesWritten);
    return false;
}

void BodyFrameRecorder::close()
{
    if (m_file.isOpen())
        m_file.close();
}

} // namespace Kinect
