#pragma once

#include "motion/MRBSplineMotion.h"

// A B-spline motion through every key pose: control poses are solved for so
// that the clamped uniform B-spline of the inherited degree takes the value
// of key pose k (signs aligned) at k / (n - 1); that curve is then drawn as
// MRBSplineMotion draws its own. The solve is one shared coefficient matrix
// for all eight components. This motion has its own display properties; the
// inherited ones are never used.
class MRBSplineInterpolation : public MRBSplineMotion {
public:
    MotionProperties &properties() { return m_ownProperties; }
    const MotionProperties &properties() const { return m_ownProperties; }

    // 0, 1 / (n - 1), ..., (n - 2) / (n - 1), 1: n values (one for n = 1).
    std::vector<double> uniformParameters() const;
    // The n control poses; empty when the degree is outside 0 .. n - 1 or the
    // basis matrix cannot be inverted.
    std::vector<DualQuaternion> interpolationControlPoints() const;

    // The poses draw() draws and the trajectory points, as MRBSplineMotion's
    // for the control poses; nothing for fewer than three key poses.
    std::vector<DualQuaternion> sampledPoses() const;
    std::vector<ScenePoint> trajectoryPoints() const;

    void draw() override;

private:
    MotionProperties m_ownProperties;
};
