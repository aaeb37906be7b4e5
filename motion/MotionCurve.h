#pragma once

#include "algebra/DualQuaternion.h"

#include <algorithm>
#include <functional>
#include <vector>

// A motion as a curve of one parameter s from 0 (its first key pose) to 1
// (its end: the last key pose), through the same control poses, knots and
// blends its motion object samples (Motion::curve() gives it).
class MotionCurve {
public:
    // pose(s) for s in 0 .. 1.
    explicit MotionCurve(std::function<DualQuaternion(double s)> pose)
        : m_pose(std::move(pose))
    {
    }

    // The pose at s, clamped to 0 .. 1; not normalised, like every drawn pose.
    DualQuaternion at(double s) const { return m_pose(std::clamp(s, 0.0, 1.0)); }

private:
    std::function<DualQuaternion(double s)> m_pose;
};

// Minimum chords of the table that measures a path's length.
constexpr int minimumArcLengthChords = 10000;

// count poses of the curve from s = 0 to s = 1 whose positions (the
// translation of toMatrix()) are equally spaced along the path of the
// position: neighbouring positions are the same straight-line distance
// apart (a robot moves straight from one to the next), so that equal times
// between them give a constant speed. The path is a table of
// max(minimumArcLengthChords, 4 count) chords of equal parameter step; the
// poses are where a pair of dividers, opened to the largest width that
// takes count - 1 steps along it, comes down on it. A path of no length (a
// pure rotation) is sampled at equal parameter steps instead. *length, when
// given, receives the table's length of the path; it is NaN when some
// position along the curve is not finite, and the poses are then empty.
std::vector<DualQuaternion> constantSpeedPoses(
    const MotionCurve &curve, int count, double *length = nullptr);
