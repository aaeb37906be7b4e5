#pragma once

#include "motion/Motion.h"

// Consecutive key poses joined by segments (1 - t) K[j] + t K[j+1], drawn as
// rational rigid-body motions (the matrix conversion divides by the squared
// norm of the real part, so nothing is normalised). The key poses are blended
// with signs aligned (signAlignedPoses).
class MScrewMotion : public Motion {
public:
    MotionProperties &properties() { return m_properties; }
    const MotionProperties &properties() const { return m_properties; }

    // The poses draw() draws, in drawing order; empty for fewer than two
    // key poses.
    std::vector<DualQuaternion> sampledPoses() const;
    // 51 points per segment (t = 0, 0.02, ...) and the last key pose's.
    std::vector<ScenePoint> trajectoryPoints() const;

    void draw() override;

    // The same for a given sequence of poses, taken as they are (no sign
    // alignment); the B-spline motions of degree 1 draw through these.
    static std::vector<DualQuaternion> segmentSamples(
        const std::vector<DualQuaternion> &poses, int density);
    static std::vector<ScenePoint> segmentTrajectory(const std::vector<DualQuaternion> &poses);

private:
    MotionProperties m_properties;
};
