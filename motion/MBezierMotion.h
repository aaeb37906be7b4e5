#pragma once

#include "motion/Motion.h"

// One Bezier curve of degree n - 1 in dual-quaternion space with all n key
// poses (signs aligned) as control poses, drawn as a rational rigid-body
// motion from the first key pose to the last.
class MBezierMotion : public Motion {
public:
    // The degree + 1 Bernstein polynomials of the given degree at t, in
    // double precision: C(degree, k) t^k (1 - t)^(degree - k). Empty for a
    // negative degree. O(degree) for t in [0, 1], with every value accurate
    // to a few units in the last place relative to itself (values too small
    // for a double come out 0); quadratic outside [0, 1].
    static std::vector<double> allBernstein(int degree, double t);

    // The poses draw() draws: t = 0, step, 2 step, ... while t <= 1; empty for
    // fewer than two key poses. Each costs O(n).
    std::vector<DualQuaternion> sampledPoses() const override;
    // 200 points (t = 0, 0.005, ..., 0.995) and the last key pose's.
    std::vector<ScenePoint> trajectoryPoints() const override;
    const MotionDrawing &prepareDrawing() override;
    // The curve at s = t, its values from allBernstein().
    std::unique_ptr<MotionCurve> curve() const override;

private:
    void sampleInto(std::vector<DualQuaternion> &samples) const;
    void trajectoryInto(std::vector<ScenePoint> &points) const;
};
