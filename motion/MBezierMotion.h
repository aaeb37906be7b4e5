#pragma once

#include "motion/Motion.h"

// One Bezier curve of degree n - 1 in dual-quaternion space with all n key
// poses (signs aligned) as control poses, drawn as a rational rigid-body
// motion from the first key pose to the last.
class MBezierMotion : public Motion {
public:
    MotionProperties &properties() { return m_properties; }
    const MotionProperties &properties() const { return m_properties; }

    // The degree + 1 Bernstein polynomials of the given degree at t, in
    // double precision: C(degree, k) t^k (1 - t)^(degree - k). Empty for a
    // negative degree.
    std::vector<double> allBernstein(int degree, double t) const;

    // The poses draw() draws: t = 0, step, 2 step, ... while t <= 1; empty for
    // fewer than two key poses.
    std::vector<DualQuaternion> sampledPoses() const;
    // 200 points (t = 0, 0.005, ..., 0.995) and the last key pose's.
    std::vector<ScenePoint> trajectoryPoints() const;

    void draw() override;

private:
    DualQuaternion curvePoint(const std::vector<DualQuaternion> &poses, double t) const;

    MotionProperties m_properties;
};
