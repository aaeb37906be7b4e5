#pragma once

#include "sensor/sources/Source.h"

#include <QByteArray>
#include <QFile>
#include <QString>

namespace Kinect {

// Writes every body frame it is given to a recording file, as it arrives, in
// the .csv layout that replay reads (sensor/sources/RecordingWriter.h): each
// frame reaches the file before append() returns, so a crash of the program
// loses nothing written. Timestamps are the frames' own times, moved on where
// a source starts again from zero, so that they increase through the file.
// Free of widgets; one thread at a time.
class BodyFrameRecorder {
public:
    BodyFrameRecorder() = default;
    ~BodyFrameRecorder();
    BodyFrameRecorder(const BodyFrameRecorder &) = delete;
    BodyFrameRecorder &operator=(const BodyFrameRecorder &) = delete;

    // Starts a recording in fileName, replacing what it held. False, with
    // what went wrong in *error, when it cannot be written.
    bool open(const QString &fileName, QString *error);
    bool isOpen() const { return m_file.isOpen(); }
    QString fileName() const { return m_file.fileName(); }
    std::int64_t framesWritten() const { return m_framesWritten; }

    // Appends one frame. When the write fails (a full disk, a file system
    // gone), the file is cut back to the frames written whole and closed:
    // false, with a message in *error that says how many were kept.
    bool append(const camera::BodyFrame &frame, QString *error);
    void close();

private:
    QFile m_file;
    QByteArray m_lines;
    std::int64_t m_framesWritten = 0;
    // Added to each frame's own time; the last timestamp written, -1 before
    // the first.
    TIMESPAN m_timeOffset = 0;
    TIMESPAN m_lastTimestamp = -1;
    TIMESPAN m_lastExistenceCheck = 0;
};

} // namespace Kinect
