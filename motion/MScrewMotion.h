#pragma once

#include "motion/Motion.h"

// Consecutive key poses joined by segments (1 - t) K[j] + t K[j+1], drawn as
// rational rigid-body motions (the matrix conversion divides by the squared
// norm of the real part, so nothing is normalised). The key poses are blended
// with signs aligned (signAlignedPoses).
class MScrewMotion : public Motion {
public:
    // The poses draw() draws, in drawing order; empty for fewer than two
    // key poses.
    std::vector<DualQuaternion> sampledPoses() const override;
    // 51 points per segment (t = 0, 0.02, ...) and the last key pose's.
    std::vector<ScenePoint> trajectoryPoints() const override;
    const MotionDrawing &prepareDrawing() override;
    // The segments with an equal share of s each.
    std::unique_ptr<MotionCurve> curve() const override;

    // The same for a given sequence of poses, taken as they are (no sign
    // alignment), into the given vector (cleared first); the B-spline
    // motions of degree 1 draw through these.
    static void segmentSamples(const std::vector<DualQuaternion> &poses, int density,
        std::vector<DualQuaternion> &samples);
    static void segmentTrajectory(
        const std::vector<DualQuaternion> &poses, std::vector<ScenePoint> &points);
    // The segments through at least two poses as a curve, each segment an
    // equal share of s; null for fewer poses.
    static std::unique_ptr<MotionCurve> segmentCurve(std::vector<DualQuaternion> poses);
};
