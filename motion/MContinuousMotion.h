#pragma once

#include "motion/Motion.h"

// The continuously captured poses, thinned out by the density: every
// stride-th pose from the first on is drawn, with no scaling of the model.
// shownPoses holds the poses the last draw() drew, in drawing order.
class MContinuousMotion : public Motion {
public:
    MotionProperties &properties() { return m_properties; }
    const MotionProperties &properties() const { return m_properties; }

    // The poses draw() draws, in drawing order: pose 0, stride, 2 * stride, ...
    // with count = density / 100 * n (single precision, truncated) and
    // stride = n / count, or n when count is 0.
    std::vector<DualQuaternion> sampledPoses() const;
    // The placed translations of all poses, shown or not; no closing point.
    std::vector<ScenePoint> trajectoryPoints() const;

    // What draw() draws, computed without OpenGL: sampledPoses() with their
    // placements, and trajectoryPoints() when the trajectory is shown; they
    // become the shown poses.
    const MotionDrawing &prepareDrawing();
    // Draws the sampled poses (and the trajectory when shown), remembers them
    // as the shown poses and sets the window's position slider to range over
    // them, when there is a window.
    void draw() override;

    std::vector<DualQuaternion> shownPoses() const { return m_shownPoses; }
    // Pose i of shownPoses(); the caller checks i against its size (an index
    // outside gives the zero pose).
    DualQuaternion shownPose(int i) const;

private:
    void sampleInto(
        const std::vector<DualQuaternion> &poses, std::vector<DualQuaternion> &shown) const;
    static void trajectoryInto(
        const std::vector<DualQuaternion> &poses, std::vector<ScenePoint> &points);

    MotionProperties m_properties;
    std::vector<DualQuaternion> m_shownPoses;
};
