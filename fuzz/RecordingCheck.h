#pragma once

// Properties every recording the readers return must have, whatever the
// input: bounded, consistent frame and body indices, times that start at 0
// and never go back, finite positions, states within their enums, and a
// message that names the input and one of its lines.

#include "fuzz/FuzzCheck.h"
#include "sensor/sources/RecordingReader.h"

#include <QBuffer>

#include <cmath>

namespace fuzz {

// Reads input, as a file named name, with one of the recording readers.
template <typename Reader>
camera::Recording readFuzzInput(const QByteArray &input, const QString &name, Reader read)
{
    QBuffer buffer;
    buffer.setData(input);
    buffer.open(QIODevice::ReadOnly);
    return read(buffer, name);
}

inline void checkRecording(
    const camera::Recording &recording, const QString &name, const QByteArray &input)
{
    FUZZ_CHECK(recording.readable, recording.error);
    FUZZ_CHECK(static_cast<std::int64_t>(recording.frames.size()) <= camera::maxRecordingFrames,
        QString::number(recording.frames.size()));
    std::size_t nextBody = 0;
    std::int64_t previousDue = 0;
    for (std::size_t f = 0; f < recording.frames.size(); ++f) {
        const camera::Recording::Frame &frame = recording.frames[f];
        const QString where = QStringLiteral("frame %1").arg(f);
        FUZZ_CHECK(frame.bodyCount >= 0 && frame.bodyCount <= BODY_COUNT, where);
        FUZZ_CHECK(static_cast<std::size_t>(frame.firstBody) == nextBody, where);
        // Each body in a slot of its own.
        bool taken[BODY_COUNT] = {};
        for (int b = 0; b < frame.bodyCount && frame.firstBody + b < int(recording.bodySlots.size());
             ++b) {
            const int slot = recording.bodySlots[std::size_t(frame.firstBody + b)];
            FUZZ_CHECK(slot >= 0 && slot < BODY_COUNT && !taken[slot], where);
            taken[slot] = true;
        }
        nextBody += static_cast<std::size_t>(frame.bodyCount);
        FUZZ_CHECK(f == 0 ? frame.dueNanoseconds == 0 : frame.dueNanoseconds >= previousDue, where);
        previousDue = frame.dueNanoseconds;
    }
    FUZZ_CHECK(nextBody == recording.bodies.size(), QString::number(recording.bodies.size()));
    FUZZ_CHECK(
        recording.bodySlots.size() == recording.bodies.size(), QString::number(recording.bodySlots.size()));
    for (const camera::Body &body : recording.bodies) {
        FUZZ_CHECK(body.tracked, QString());
        FUZZ_CHECK(body.handLeftState >= HandState_Unknown && body.handLeftState <= HandState_Lasso,
            QString::number(body.handLeftState));
        FUZZ_CHECK(
            body.handRightState >= HandState_Unknown && body.handRightState <= HandState_Lasso,
            QString::number(body.handRightState));
        for (int j = 0; j < JointType_Count; ++j) {
            const Joint &joint = body.joints[static_cast<std::size_t>(j)];
            FUZZ_CHECK(joint.JointType == j, QString::number(j));
            FUZZ_CHECK(joint.TrackingState == TrackingState_NotTracked
                    || (std::isfinite(joint.Position.X) && std::isfinite(joint.Position.Y)
                        && std::isfinite(joint.Position.Z)),
                QString::number(j));
            FUZZ_CHECK(joint.TrackingState >= TrackingState_NotTracked
                    && joint.TrackingState <= TrackingState_Tracked,
                QString::number(joint.TrackingState));
        }
    }
    if (!recording.error.isEmpty()) {
        // The line after the last one counts as where a cut-short file ends.
        checkMessagePrefix(recording.error, name, lineCount(input) + 1);
        FUZZ_CHECK(!recording.error.contains(QLatin1Char('\n')), recording.error);
    }
}

// The lines a line reader hands out: those with something but blanks.
inline QList<QByteArray> nonBlankLines(const QByteArray &input)
{
    QList<QByteArray> lines;
    for (const QByteArray &line : input.split('\n'))
        if (!line.trimmed().isEmpty())
            lines.append(line);
    return lines;
}

} // namespace fuzz
