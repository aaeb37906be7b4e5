#pragma once

#include "motion/Motion.h"

// The continuously captured poses, thinned out by the density: every
// stride-th pose from the first on is drawn, with no scaling of the model.
// The poses the last draw() drew are the shown poses, in drawing order.
class MContinuousMotion : public Motion {
public:
    // The poses draw() draws, in drawing order: pose 0, stride, 2 * stride, ...
    // with count = density / 100 * n (single precision, truncated) and
    // stride = n / count, or n when count is 0.
    std::vector<DualQuaternion> sampledPoses() const override;
    // The placed translations of all poses, shown or not; no closing point.
    std::vector<ScenePoint> trajectoryPoints() const override;
    // Its poses become the shown poses.
    const MotionDrawing &prepareDrawing() override;
    // Draws the sampled poses (and the trajectory when shown), the model
    // unscaled.
    void draw() override;

    std::vector<DualQuaternion> shownPoses() const { return drawnPoses(); }
    // Pose i of shownPoses(); the caller checks i against its size (an index
    // outside gives the zero pose).
    DualQuaternion shownPose(int i) const;

private:
    void sampleInto(
        const std::vector<DualQuaternion> &poses, std::vector<DualQuaternion> &shown) const;
    static void trajectoryInto(
        const std::vector<DualQuaternion> &poses, std::vector<ScenePoint> &points);
};
