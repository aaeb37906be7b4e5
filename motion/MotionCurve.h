#pragma once

#include "algebra/DualQuaternion.h"

#include <string>
#include <vector>

// The four computed kinds of motion, by the names the command line and the
// exported files use: "screw", "bezier", "approximation", "interpolation".
enum class MotionKind { Screw, Bezier, Approximation, Interpolation };

const char *motionKindName(MotionKind kind);
// False for any other name; *kind is then left as it was.
bool motionKindFromName(const std::string &name, MotionKind *kind);
// What a person reads: "screw motion", "B-spline interpolation", ...
const char *motionKindTitle(MotionKind kind);

// The poses the motion object of this kind draws for these key poses, with
// the density and (for the two B-spline kinds) the degree set as the view
// sets them: exactly its sampledPoses().
std::vector<DualQuaternion> drawnMotionPoses(
    MotionKind kind, const std::vector<DualQuaternion> &keyPoses, int density, int degree);

// A motion of one kind as a curve of one parameter s from 0 (its first key
// pose) to 1 (its end: the last key pose), through the same control poses,
// knots and blends its motion object samples. The screw motion and the
// B-splines of degree 1 give each segment an equal share of s. Empty when
// the motion draws nothing (too few key poses, a degree outside 1 .. n - 1,
// an interpolation whose basis matrix does not invert).
class MotionCurve {
public:
    MotionCurve(MotionKind kind, const std::vector<DualQuaternion> &keyPoses, int degree);

    bool isEmpty() const { return m_controlPoses.empty(); }
    // The pose at s, clamped to 0 .. 1; not normalised, like every drawn pose.
    DualQuaternion at(double s) const;

private:
    enum class Form { Segments, Bezier, BSpline };
    Form m_form = Form::Segments;
    std::vector<DualQuaternion> m_controlPoses;
    int m_degree = 1;
    std::vector<double> m_knots;
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
