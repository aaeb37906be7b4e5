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

    // What draw() draws, computed without OpenGL: sampledPoses() with their
    // placements, and trajectoryPoints() when the trajectory is shown.
    const MotionDrawing &prepareDrawing();
    void draw() override;

    // The same for a given sequence of poses, taken as they are (no sign
    // alignment), into the given vector (cleared first); the B-spline
    // motions of degree 1 draw through these.
    static void segmentSamples(const std::vector<DualQuaternion> &poses, int density,
        std::vector<DualQuaternion> &samples);
    static void segmentTrajectory(
        const std::vector<DualQuaternion> &poses, std::vector<ScenePoint> &points);

private:
    MotionProperties m_properties;
};
