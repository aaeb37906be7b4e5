#pragma once

#include "sensor/sources/Source.h"

#include <QString>

#include <cstdint>
#include <vector>

class QIODevice;

namespace camera {

// A body-tracking recording read into memory: the frames in order, each with
// the time it falls due (nanoseconds after the first frame) and its tracked
// bodies, which are stored one after another in bodies, with the frame's
// slot of each at the same index of bodySlots.
struct Recording {
    struct Frame {
        std::int64_t dueNanoseconds = 0;
        int firstBody = 0;
        int bodyCount = 0;
    };
    std::vector<Frame> frames;
    std::vector<Body> bodies;
    std::vector<int> bodySlots;
    // False when the file could not be read at all.
    bool readable = false;
    // Empty when the whole file was read; otherwise "FILE:LINE: what was
    // expected" for the first fault. The frames before the fault are kept.
    QString error;
};

// Hard limits of the readers: no recording holds more frames, no line is
// longer.
constexpr std::int64_t maxRecordingFrames = 1000000;
constexpr int maxRecordingLineLength = 16384;

// Reads a recording, the format chosen by the file name's suffix (.csv or
// .skeleton, any case).
Recording readRecording(const QString &path);

// One body per line: a timestamp in units of 100 ns (non-negative, never
// decreasing), then X, Y, Z in metres and the tracking state of joints 0 to
// 24, comma-separated, a trailing comma allowed. Lines with the same
// timestamp are the bodies of one frame, in slots 0, 1, ...; frames fall due
// at their timestamps; hand states are unknown.
//
// handmotion's own recordings (appendCsvRecordingLines) add four fields to
// each line, which readers of the plain layout pass over: the left and right
// hand states (HandState), the body's slot, and its tracking id. Slot -1
// stands for a frame in which no body was tracked (its joints are zeros,
// not tracked).
Recording readCsvRecording(QIODevice &device, const QString &name);

// Whitespace-separated: a frame count; per frame a body count (0 to
// BODY_COUNT); per body a line of 10 fields (tracking id, clipped edges,
// left-hand confidence and state, right-hand confidence and state,
// restricted, lean x and y, tracking state), the joint count 25 and 25 lines
// of 12 fields (x, y, z in metres, depth x and y, colour x and y,
// orientation w, x, y, z, tracking state). Frames fall due at 30 Hz.
Recording readSkeletonRecording(QIODevice &device, const QString &name);

} // namespace camera
