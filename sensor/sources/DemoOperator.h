#pragma once

#include "sensor/sources/Source.h"

#include <QQuaternion>
#include <QVector3D>

#include <cstdint>
#include <vector>

namespace camera {

// The demonstration operator: a person standing about 2 m in front of the
// camera who, in a loop of 54 s at 30 body frames a second, raises the left
// hand and closes it (recording starts), shows eight poses with the right
// hand, each reached in one second and held for five, opens the left hand
// (recording stops) and rests. Every joint jitters by at most 1.5 mm along
// each axis, as a tracked body does. The body of a frame is a pure function
// of its index.
class DemoOperator {
public:
    static constexpr int framesPerSecond = 30;
    static constexpr int cycleFrames = 54 * framesPerSecond;
    // The left hand is closed in frames [leftHandClosesAt, leftHandOpensAt)
    // of each cycle and open otherwise.
    static constexpr int leftHandClosesAt = 81;
    static constexpr int leftHandOpensAt = 1530;

    // A pose the right hand holds in frames [firstFrame, lastFrame] of each
    // cycle, with its three joints without jitter. The hand's frame: y from
    // the centre to the tip, x toward the thumb.
    struct HeldPose {
        int firstFrame;
        int lastFrame;
        QQuaternion orientation;
        QVector3D handCentre;
        QVector3D handTip;
        QVector3D thumbTip;
    };
    static const std::vector<HeldPose> &heldPoses();

    // The operator in body frame frameIndex (>= 0), tracked, all 25 joints.
    static Body body(std::int64_t frameIndex);
};

} // namespace camera
